#pragma once
// Shared by the benchmark programs: an embedded production store filled by SQL, peak memory.

#include <QDate>
#include <QString>

namespace lumaro::bench {

// Peak resident set of this process in KiB (VmHWM); -1 where /proc is not there.
long peakResidentKiB();

// Creates FOLDER/cliente.db and FOLDER/logistica.db (the production schema of the data model)
// and fills them with unsent rows of store 3: `rows` Acumulacion_Punto rows, rows/10 clients
// and cards, rows/100 rows of every other table; a tenth of the dated rows changed on `dia`.
// Writes FOLDER/lumaro-sync.cfg pointing at them, with FOLDER/salida as the snapshot folder.
bool llenarProduccion(const QString& folder, long rows, const QDate& dia);

}  // namespace lumaro::bench
