#pragma once
// Moving a store over: the program it ran before kept the transfer ledger Seguridad.mdb as a
// Jet 4.0 database; ours is an SQLite file of the same name and table. Converting keeps the
// store's history, so its downloads go on from the day after the last one recorded.
//
// The conversion is crash-safe; at every point the ledger's name holds either the Jet file or
// the finished SQLite ledger:
//   1. the new ledger is written and synced under "<ledger>.nuevo";
//   2. the Jet file is copied, synced and renamed to "<ledger>.jet" (never over an existing
//      file);
//   3. the new ledger is renamed over the ledger's name.
// A restart after step 2 finds the Jet file still in place with an identical "<ledger>.jet"
// beside it and converts again. A "<ledger>.jet" that differs from the Jet file is never
// overwritten: the conversion is refused until someone moves it away.

#include <QDate>
#include <QMap>
#include <QString>

namespace lumaro::ledger {

struct MigracionLedger {
    enum class Estado {
        NoEsJet,     // nothing to do: the file is not a Jet database (or does not exist)
        Convertido,  // the SQLite ledger is in place; the Jet file is kept as "<ledger>.jet"
        Fallo,       // nothing was converted; the ledger's name still holds the Jet file
    };
    Estado estado = Estado::NoEsJet;
    int filas = 0;                // rows written (after folding repeated store days)
    QMap<qint64, int> porLocal;   // rows per store
    QMap<qint64, QDate> ultimas;  // per store, the last day recorded as downloaded
    QString mensaje;              // one sentence for the log, List1 or a terminal
};

// Converts the Jet ledger at ruta, if it is one. Writes nothing to the run log: the caller
// reports mensaje. On Fallo the ledger is left as it was.
MigracionLedger migrarLedger(const QString& ruta);

// The start of a run: converts <program folder>/Seguridad.mdb when it is a Jet file and logs
// what was converted. A Jet ledger that cannot be converted stays in place, is reported in the
// log and in List1, and the ledger calls then fail as with a missing ledger (the stores are
// skipped: no downloads). Returns false in that case only.
bool prepararLedger();

}  // namespace lumaro::ledger
