#pragma once
// The download run (module MainProcesoSinc).

namespace lumaro::ftp {

// For every store of the registry but this one, fetches day by day the snapshots sent since
// the last one recorded in the ledger, up to today, into MDB_descargadas, and records each.
// Needs the store registry loaded (ConfigLocales). Leaves RunState::results.downloadAnswered
// and downloadCount for the run control. Every store's walk moves forward a day at each
// step, so it always ends.
void descargarOtrosLocales();

}  // namespace lumaro::ftp
