// The clock of lumaro-sync-prueba, the program as the chain tests and the demo run it: the
// same main() with a clock that starts where the environment says, so that simulated days can
// follow one another in minutes. The program a store runs is built without this file.
//
//   LUMARO_RELOJ=2026-12-05T01:58:00   the clock starts there and runs in real time
//   LUMARO_RELOJ_MINUTO_MS=10          the schedule's minute lasts 10 ms: each tick while no
//                                      cycle runs jumps to the next minute (a cycle runs in
//                                      real time)
//   LUMARO_RELOJ_FIN=2026-12-05T14:05:00  the program stops itself, as on SIGTERM, there
#include <QDateTime>
#include <QElapsedTimer>
#include <csignal>

#include "app/RunControl.h"
#include "config/Clock.h"
#include "run/RunState.h"

namespace {

QDateTime g_base;
QElapsedTimer g_desdeBase;
QDateTime g_fin;

QDateTime ahora() { return g_base.addMSecs(g_desdeBase.elapsed()); }

QDateTime leer(const char* variable) {
    return QDateTime::fromString(QString::fromLocal8Bit(qgetenv(variable)), Qt::ISODate);
}

}  // namespace

void instalarRelojPrueba() {
    g_base = leer("LUMARO_RELOJ");
    if (!g_base.isValid()) return;
    g_desdeBase.start();
    g_fin = leer("LUMARO_RELOJ_FIN");
    lumaro::config::Clock::setForTesting(ahora);
    const int minutoMs = qEnvironmentVariableIntValue("LUMARO_RELOJ_MINUTO_MS");
    if (minutoMs <= 0) return;
    lumaro::app::RunControl::setMinutoDePrueba(minutoMs, [] {
        if (lumaro::run::runState().cycleRunning) return;
        if (g_fin.isValid() && ahora() >= g_fin) {
            std::raise(SIGTERM);
            return;
        }
        const QDateTime t = ahora();
        g_base = QDateTime(t.date(), QTime(t.time().hour(), t.time().minute())).addSecs(60);
        g_desdeBase.restart();
    });
}
