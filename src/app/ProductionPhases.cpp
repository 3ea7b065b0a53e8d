#include "app/ProductionPhases.h"

#include "config/RunState.h"
#include "config/Settings.h"

namespace lumaro::app {

namespace {

void notAvailable(const char* phase) {
    config::EscribirLog(QString::fromLatin1(phase) +
                        QStringLiteral(": no disponible en esta version del programa."));
}

}  // namespace

bool ProductionPhases::AbrirConexion(int kind) {
    notAvailable(kind == 1   ? "AbrirConexion(1)"
                 : kind == 2 ? "AbrirConexion(2)"
                             : "AbrirConexion(3)");
    return false;
}

std::optional<bool> ProductionPhases::esLocalPrincipal() {
    notAvailable("esLocalPrincipal");
    return std::nullopt;
}

bool ProductionPhases::ConfigLocales() {
    notAvailable("ConfigLocales");
    return false;
}

void ProductionPhases::CerrarBD(Conexion) {
    // No connection is ever opened in this build, so there is nothing to close.
}

std::optional<QString> ProductionPhases::crearBDTemp() {
    notAvailable("crearBDTemp");
    return std::nullopt;
}

bool ProductionPhases::CopiarTablas(const QString&) {
    notAvailable("CopiarTablas");
    return false;
}

void ProductionPhases::descargarOtrosLocales() {
    config::runState().results.downloadAnswered = false;
    config::runState().results.downloadCount = 0;
    notAvailable("descargarOtrosLocales");
}

void ProductionPhases::Main() {
    config::runState().results.importCompleted = false;
    config::runState().results.uploadDone = false;
    notAvailable("MainProcesoSinc.Main");
}

void ProductionPhases::ProcesarCargaInicial() { notAvailable("ProcesarCargaInicial"); }

}  // namespace lumaro::app
