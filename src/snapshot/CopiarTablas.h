#pragma once
// The copy of changed rows into the day's snapshot.

#include <QMap>
#include <QString>
#include <optional>
#include <vector>

#include "snapshot/SalidaCopia.h"

namespace lumaro::snapshot {

// Copies every production row of the ten tables that was not yet sent (and, in the dated
// tables, every row changed on the snapshot's day) into the snapshot `nombre` of the "RtDbf"
// folder, which crearBDTemp has just created empty; hands each copied row to the side
// outputs; marks exactly the copied rows sent in production. Needs the client and logistics
// connections open.
//
// All or nothing: the snapshot file gets its rows and the production marks are committed only
// after the tenth table; on any failure both are rolled back (the snapshot keeps its ten empty
// tables), the failing row is named in the log and List1, and the result is nullopt. Once
// committed, the result holds the rows copied per table (tables that copied none left out).
using FilasPorTabla = QMap<QString, qint64>;
std::optional<FilasPorTabla> CopiarTablas(const QString& nombre,
                                          const std::vector<SalidaCopia*>& salidas);

}  // namespace lumaro::snapshot
