#include "run/RunState.h"

namespace lumaro::run {

RunState& runState() {
    static RunState state;
    return state;
}

CycleGuard::CycleGuard() : m_outer(!runState().cycleRunning) { runState().cycleRunning = true; }

CycleGuard::~CycleGuard() {
    if (m_outer) runState().cycleRunning = false;
}

}  // namespace lumaro::run
