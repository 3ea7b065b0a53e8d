#pragma once
// Retention of the archive folders and the run logs, opt-in through the setting
// "DiasRetencion" of [Inicio] (days to keep; empty or 0: keep everything, the default).
//
// Files in MDB_Syncronizadas, MDB_enviadas and Error, and the run logs Err_yyyymmdd.log,
// older than that many days are deleted; the day a file stands for is the day in its name
// where it has one, else the day it was last written, and both must be old. A snapshot of
// another store in Error or MDB_Syncronizadas is kept while the ledger does not show its day
// as merged (its day is still owed), and all of them while the ledger cannot be read. Fewer
// than kDiasMinimos days are never asked for: the missed-day back-fill and the "already
// sent" checks read the copies in MDB_enviadas of the last weeks.

#include <QDate>

namespace lumaro::app {

inline constexpr int kDiasMinimosRetencion = 45;

// The days to keep, from the setting: 0 when off; a value under the minimum counts as the
// minimum (logged).
int diasRetencion();

// Applies the retention now; returns how many files were deleted. Logs one line saying what
// was deleted and kept; every deletion that fails is logged by BorrarArchivo.
int aplicarRetencion();

}  // namespace lumaro::app
