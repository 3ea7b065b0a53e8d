#pragma once
// The download run (module MainProcesoSinc).

namespace lumaro::ftp {

// For every store of the registry but this one, fetches the days it owes (DiasAdeudados.h),
// oldest first, up to today, into MDB_descargadas, and records each in the ledger.
// Needs the store registry loaded (ConfigLocales). Leaves RunState::results.downloadAnswered
// and downloadCount for the run control, and notes in downloadFailure why the run could not
// ask for everything owed: the ledger missing, unreadable or empty, a store whose ledger rows
// could not be read or that has no recorded download, a store number that is not valid. Each
// store's walk goes through a list of days made at its start, so it always ends.
void descargarOtrosLocales();

}  // namespace lumaro::ftp
