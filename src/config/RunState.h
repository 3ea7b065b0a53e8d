#pragma once
// Results of the phases that the run control reads, and the program-wide cycle guard.
// They live here, in one place, so that every phase and the run control see the same values.

#include <QString>

namespace lumaro::config {

struct PhaseResults {
    bool importCompleted = false;  // the last import run ended normally
    bool uploadDone = false;       // the last upload run ended without a failed upload
    // Why a phase did not complete, in words an operator can act on ("no space left in
    // MDB_descargadas", "the FTP server did not answer"); empty while it did. Each phase sets
    // its own through noteFailure, so the first cause it met is the one reported; the run
    // control clears them when a command starts and reads them when it ends.
    QString downloadFailure;
    QString importFailure;
    QString uploadFailure;
    // A settings write that failed during the command (the file was left as it was).
    QString settingsFailure;
};

// Keeps the first cause of a phase's failure: later ones are usually its consequences.
inline void noteFailure(QString& field, const QString& cause) {
    if (field.isEmpty()) field = cause;
}

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
