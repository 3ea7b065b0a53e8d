#include "config/RunState.h"

namespace lumaro::config {

RunState& runState() {
    static RunState state;
    return state;
}

CycleGuard::CycleGuard() : m_outer(!runState().cycleRunning) { runState().cycleRunning = true; }

CycleGuard::~CycleGuard() {
    if (m_outer) runState().cycleRunning = false;
}

}  // namespace lumaro::config
