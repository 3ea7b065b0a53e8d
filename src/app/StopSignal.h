#pragma once
// The stop signals of the operating system (SIGINT, SIGTERM; on Windows the console's close,
// logoff and shutdown events) for running without a display.
// The handler only records the signal; the event loop polls for it.

namespace lumaro::app::stopsignal {

void install();
bool received();
// Forgets a received signal (tests).
void reset();

}  // namespace lumaro::app::stopsignal
