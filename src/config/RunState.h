#pragma once
// The state of the running command that every part of the program sees: the cycle guard, the
// stop requests, and a settings write that failed on the way. The phases return their own
// outcomes (app/Phases.h); nothing else of theirs is kept here.

#include <QString>

#include "config/Status.h"

namespace lumaro::config {

struct PhaseResults {
    // A settings write that failed during the command (the file was left as it was): the
    // first cause, noted by GrabarConfig; the run control clears it when a command ends.
    QString settingsFailure;
};

struct RunState {
    PhaseResults results;
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

}  // namespace lumaro::config
