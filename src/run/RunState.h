#pragma once
// The state of the running command that every part of the program sees: the cycle guard and
// the stop requests. The phases return their own outcomes (app/Phases.h), and a failed
// settings write is taken from config (tomarFalloConfiguracion) as a command ends.

#include <QString>

namespace lumaro::run {

struct RunState {
    // True from the start to the end of a command ("Generar MDB Local", "Subir File"): a
    // command, tick or "Configurar" arriving meanwhile is refused, and message boxes do not
    // wait for a person.
    bool cycleRunning = false;
    // "Parar" or "Salir" pressed during a cycle: the running transfer is cancelled and the
    // timer is not switched on again when the command ends.
    bool stopRequested = false;
    // A request to abort the FTP transfer in progress (the old control's Cancel).
    bool cancelTransfer = false;
};

// The one program-wide instance.
RunState& runState();

// Marks a cycle as running for its lifetime; nests harmlessly (an inner guard of a command
// run from another command leaves the flag as the outer one set it).
class CycleGuard {
public:
    CycleGuard();
    ~CycleGuard();
    CycleGuard(const CycleGuard&) = delete;
    CycleGuard& operator=(const CycleGuard&) = delete;

private:
    bool m_outer;
};

}  // namespace lumaro::run
