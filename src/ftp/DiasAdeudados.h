#pragma once
// The days another store owes this one, for the download run, and when a day whose snapshot
// was set aside in Error is asked for again.
//
// A store's day is owed from the store's first ledger row (the day its downloads were set to
// start from) to today until it is merged here: it has no row (never fetched, or its row was
// cleared because its file was cut short or set aside), a row of a snapshot that was absent on
// the server, or a row of a download whose file is no longer in MDB_descargadas. A day filed in
// MDB_Syncronizadas is merged here and not owed, whatever its row says; a downloaded day whose
// file waits in MDB_descargadas is the import run's. A gap behind the last download stays owed
// for 62 days (the report of lumaro-db ledger-informe still shows it afterwards).
//
// A day whose snapshot has a copy in Error ("<hhmmss>_<name>") is asked for again when the
// server's file differs in size from the newest copy, and otherwise once a day: the time of
// the last try (the program's clock) is kept in Error/<name>.reintento.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include "ledger/Ledger.h"

namespace lumaro::ftp {

struct DiaAdeudado {
    QDate fecha;
    bool enError = false;  // a copy of its snapshot lies in Error
};

class DiasAdeudados {
public:
    // The owed days of the store, oldest first. A day past the last download found already
    // merged here is logged and sets *procesado.
    QList<DiaAdeudado> deLocal(const QString& idLocal, const ledger::HistorialLocal& historial,
                               bool* procesado);

    // For a day in Error: true when it is to be asked for in this run; the try is then
    // recorded. Logs its reason either way.
    bool reintentar(const QString& nombre);

private:
    struct CopiaError {
        qint64 tamano = -1;
        QDateTime hora;  // the file's modification time
    };
    // The newest copy of each snapshot name in Error, read once per run.
    const QMap<QString, CopiaError>& copiasError();

    QMap<QString, CopiaError> m_copias;
    bool m_leidas = false;
};

}  // namespace lumaro::ftp
