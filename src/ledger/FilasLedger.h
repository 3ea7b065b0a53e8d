#pragma once
// The rows of a transfer ledger read whole, from our SQLite ledger or from the Jet 4.0
// Seguridad.mdb of the program a store moves over from, for the ledger's conversion and its
// report. A row that cannot be taken as it is (a store number that is not a whole number above
// zero, a day that is impossible, before 2000 or after tomorrow) is named. Without a list for
// such rows the readers refuse the whole file on the first one, so that a conversion builds
// nothing on a guess; with one (the report) they describe each there and go on.

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace lumaro::ledger {

struct FilaLedger {
    qint64 idLocal = 0;
    QDate fecha;         // the day; a time part stored with it is dropped
    int descarga = 0;    // iDescargaOK: 1 downloaded, 0 looked for and absent
    int sincroniza = 0;  // iSincronizacionOK: 1 merged
    bool operator==(const FilaLedger&) const = default;
};

enum class TipoArchivoLedger { NoExiste, Sqlite, Jet, Otro };

// What the file is, from its first bytes (an empty file is an empty SQLite database).
TipoArchivoLedger tipoArchivoLedger(const QString& ruta);

// Every row of TablasFTP of a Jet file. The older program's columns may be Integer, Long,
// Yes/No (true is 1), Date/Time or text dates ("dd/mm/yyyy", "yyyy/mm/dd", "yyyy-mm-dd", with
// or without a time). nullopt with the reason in error when the file cannot be read or (without
// malas) a row cannot be taken.
std::optional<QList<FilaLedger>> leerFilasJet(const QString& ruta, QString* error,
                                              QStringList* malas = nullptr);

// Every row of TablasFTP of our SQLite ledger, read only. nullopt with the reason in error.
std::optional<QList<FilaLedger>> leerFilasSqlite(const QString& ruta, QString* error,
                                                 QStringList* malas = nullptr);

// Either of the above by the file's kind; any other file (missing, not a database) is an
// error that names it.
std::optional<QList<FilaLedger>> leerFilasLedger(const QString& ruta, QString* error,
                                                 QStringList* malas = nullptr);

}  // namespace lumaro::ledger
