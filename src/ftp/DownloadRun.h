#pragma once
// The download run (module MainProcesoSinc).

#include <QString>

namespace lumaro::ftp {

// What a download run came to.
struct DownloadRunOutcome {
    bool answered = false;  // the server answered: its listing was read
    int count = 0;          // snapshots fetched and recorded in the ledger
    // Why the run could not ask for everything owed (the first cause met); empty when it could.
    QString failure;
};

// For every store of the registry but this one, fetches the days it owes (DiasAdeudados.h),
// oldest first, up to today, into MDB_descargadas, and records each in the ledger.
// Needs the store registry loaded (ConfigLocales). The exchange folder is listed once, when
// the first owed day is asked for, and that listing serves the whole run. The outcome's failure
// says why the run could not ask for everything owed: a failed listing or transfer, the ledger
// missing, unreadable or empty, a store whose ledger rows could not be read or that has no
// recorded download, a store number that is not valid. Each store's walk goes through a list of
// days made at its start, so it always ends.
DownloadRunOutcome descargarOtrosLocales();

}  // namespace lumaro::ftp
