#pragma once
// The transfer ledger: table TablasFTP of <program folder>/Seguridad.mdb, an SQLite file.
//
//   idLocal            integer  the store whose snapshot the row describes
//   fecha              date     the snapshot's day, stored as "yyyy/mm/dd 00:00:00"
//   iDescargaOK        integer  1 downloaded, 0 looked for on the second run of a day and absent
//   iSincronizacionOK  integer  0 not merged yet, 1 merged
//
// At most one row per store and day; rows are matched by year, month and day of fecha, so a
// time part never matters. Every call opens its own connection and closes it before
// returning, and writes its own log line when it fails. The program never creates the
// ledger: the installer does (lumaro-db ledger-crear), and records per store the day from which
// downloads start (lumaro-db ledger-iniciar). A store moved over from the older program brings
// a Jet Seguridad.mdb instead, which the download run converts first (LedgerMigracion.h).

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

namespace lumaro::ledger {

// <program folder>/Seguridad.mdb
QString rutaLedger();

// A store number that may go into a file name or a statement: digits only (at most 9), above
// zero. Store numbers from the ledger and from the store registry are checked with this first.
bool idLocalValido(const QString& idLocal);

// A ledger day the program acts on: from 01/01/2000 (and the day before, the seed of a store
// whose downloads start then) to tomorrow. A row with any other day is logged and left out.
bool fechaLedgerValida(const QDate& fecha);

// Why the ledger cannot say what other stores owe (missing, a folder, not a database, a Jet
// file that could not be converted, unreadable, without rows), naming its path, for the log and
// the run's outcome; empty when it can.
QString problemaLedger();

struct UltimaDescarga {
    enum class Estado {
        Registrada,   // fecha: the greatest day with iDescargaOK = 1
        SinRegistro,  // no download recorded for the store; fecha is today (logged)
        Error,        // the ledger could not be read (logged); fecha is invalid: skip the store
    };
    Estado estado = Estado::Error;
    QDate fecha;
    bool ok() const { return estado != Estado::Error; }
};

// The last day downloaded for the store. idLocal must be a whole number (else Error).
UltimaDescarga getUltimaDescarga(const QString& idLocal);

// One store's rows, for the download run: every day from its first row to today that is not
// downloaded is owed. Rows with a day out of range are logged and left out.
struct HistorialLocal {
    struct Dia {
        bool descargado = false;    // iDescargaOK = 1
        bool sincronizado = false;  // iSincronizacionOK = 1
    };
    UltimaDescarga::Estado estado = UltimaDescarga::Estado::Error;
    QDate inicio;  // the first day with a row (Registrada only)
    QDate ultima;  // the last day downloaded (Registrada only)
    QMap<QDate, Dia> dias;
};
HistorialLocal historialLocal(const QString& idLocal);

// Records a download (estado "1") or a snapshot missing on the server (estado "0") of that
// store and day, replacing an earlier row of the same day; iSincronizacionOK becomes 0.
// Returns false (after its log line) when nothing was recorded.
bool registrarDescarga(const QString& idLocal, const QDate& fecha, const QString& estado);

// With modo 2, sets iSincronizacionOK = estado on the store's row of that day (a day without
// a row changes nothing and is no failure). Returns false (after its log lines) on error.
bool registrarSync(const QString& idLocal, const QDate& fecha, const QString& estado, int modo);

// Size in bytes of the file, or -1 when it does not exist or cannot be read.
qint64 getTamanoArchivo(const QString& ruta);

// A ledger row downloaded but not yet merged.
struct DescargaPendiente {
    QString idLocal;
    QDate fecha;
};

// The import run's query: rows of other stores than ownIdLocal with iDescargaOK = 1 and
// iSincronizacionOK = 0, by store then by day. A row whose store number or day cannot be used
// is logged and left out. nullopt (after a log line) on error.
std::optional<QList<DescargaPendiente>> listarPendientes(const QString& ownIdLocal);

// Deletes the store's row of that day, so that the day is fetched again (a snapshot that was
// recorded but turned out truncated). Returns false (after its log line) on error.
bool borrarDescarga(const QString& idLocal, const QDate& fecha);

// Installer: creates the ledger file with an empty TablasFTP when it does not exist yet;
// an existing ledger is left as it is. Returns false with a reason in error; a file it created
// is removed then.
bool crearLedger(const QString& ruta, QString* error = nullptr);

}  // namespace lumaro::ledger
