#include "ftp/ImportSeam.h"

#include "config/RunState.h"
#include "config/Settings.h"

namespace lumaro::ftp {

namespace {

ImportRun& installed() {
    static ImportRun run;
    return run;
}

bool sinImportacion() {
    lumaro::config::EscribirLog(
        QStringLiteral("Importacion no disponible en esta version: no se sincronizo ningun "
                       "archivo descargado."));
    return true;
}

}  // namespace

void setImportRun(ImportRun run) { installed() = std::move(run); }

bool ejecutarImportacion() {
    const bool completed = installed() ? installed()() : sinImportacion();
    lumaro::config::runState().results.importCompleted = completed;
    return completed;
}

}  // namespace lumaro::ftp
