#pragma once
// Running without a display, for store servers and automation: the daily schedule armed until
// a stop signal, or one command and exit. Every box is logged and answered at once.

namespace lumaro::app {

class Phases;

// Exit statuses of the program.
enum ExitStatus : int {
    kExitOk = 0,            // the cycle ended complete, or there was nothing to do
    kExitFallo = 1,         // the cycle stalled, a phase failed, or it was stopped
    kExitUso = 2,           // bad command line
    kExitOtraInstancia = 3  // another copy runs in this program folder
};

enum class ModoSinVentana { Programacion, Generar, Subir };

// Runs after the second-copy check; returns the exit status. Every command ends with its
// summary line ("Ciclo terminado: ...", with the cause of a failure) on standard error.
int runHeadless(Phases& phases, ModoSinVentana modo);

}  // namespace lumaro::app
