#include "app/StopSignal.h"

#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace lumaro::app::stopsignal {

namespace {

volatile std::sig_atomic_t g_received = 0;

extern "C" void onStopSignal(int) { g_received = 1; }

#ifdef _WIN32
// Windows has no SIGTERM from outside: closing the console, logging off, shutting down and
// Ctrl+Break arrive as console events. The handler runs on its own thread; the system waits for
// it, so it gives the event loop a moment to see the stop and end the run.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT) return FALSE;  // SIGINT already covers it
    g_received = 1;
    if (event != CTRL_BREAK_EVENT) Sleep(5000);
    return TRUE;
}
#endif

}  // namespace

void install() {
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#endif
}

bool received() { return g_received != 0; }

void reset() { g_received = 0; }

}  // namespace lumaro::app::stopsignal
