#pragma once
// Watching mode: the window opened while the service (lumaro-sync --headless) holds the
// program folder. It reads what the service leaves there (the status file, the run log, the
// ledger) and writes nothing.

#include <QString>
#include <QStringList>

namespace lumaro::app::vigilancia {

// How often the window reads again, and how much of the log it shows.
constexpr int kRefrescoMs = 5000;
constexpr int kLineasLog = 200;

// True when process pid runs this program without a display, or when that cannot be told (its
// command line is hidden from this user); false for another copy with a window.
bool esServicio(qint64 pid);
// Whether process pid still runs (0: unknown, taken as running).
bool enEjecucion(qint64 pid);
// What the window says at the top: the service runs (or no longer does), its PID, how to stop it.
QString aviso(qint64 pid, bool corriendo);
// The last `lineas` lines of today's run log, read from at most its last 64 KiB.
QStringList colaDelLog(int lineas);
// The status file in words for a person; why it cannot be read when it cannot.
QStringList lineasEstado();

}  // namespace lumaro::app::vigilancia
