#include "app/StopSignal.h"

#include <csignal>

namespace lumaro::app::stopsignal {

namespace {

volatile std::sig_atomic_t g_received = 0;

extern "C" void onStopSignal(int) { g_received = 1; }

}  // namespace

void install() {
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

bool received() { return g_received != 0; }

void reset() { g_received = 0; }

}  // namespace lumaro::app::stopsignal
