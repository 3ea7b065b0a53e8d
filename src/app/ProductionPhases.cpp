#include "app/ProductionPhases.h"

#include "config/RunState.h"
#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/clsDBAdmin.h"
#include "ftp/DownloadRun.h"
#include "ftp/ImportSeam.h"
#include "ftp/UploadRun.h"
#include "importer/SyncLocales.h"

namespace lumaro::app {

namespace {

// Phases that this build does not have yet fail honestly: a log line, and a result that no
// caller can mistake for work done.
void notAvailable(const char* phase) {
    config::EscribirLog(QString::fromLatin1(phase) +
                        QStringLiteral(": no disponible en esta version del programa."));
}

}  // namespace

ProductionPhases::ProductionPhases() {
    db::setAbridorSnapshot(importer::abrirSnapshot);
    ftp::setImportRun([] { return importer::SyncLocales(); });
}

bool ProductionPhases::AbrirConexion(int kind) { return db::AbrirConexion(kind); }

std::optional<bool> ProductionPhases::esLocalPrincipal() {
    QString error;
    const bool principal = db::esLocalPrincipal(&error);
    if (!error.isEmpty()) return std::nullopt;
    return principal;
}

bool ProductionPhases::ConfigLocales() { return db::ConfigLocales(); }

void ProductionPhases::CerrarBD(Conexion which) {
    switch (which) {
        case Conexion::Cliente:
            db::dbAdmin().CerrarBD(db::cnnCliente());
            break;
        case Conexion::Logistica:
            db::dbAdmin().CerrarBD(db::cnnLogistica());
            break;
        case Conexion::MySql:
            db::dbAdmin().CerrarBD(db::cnnMySql());
            break;
    }
}

std::optional<QString> ProductionPhases::crearBDTemp() {
    notAvailable("crearBDTemp");
    return std::nullopt;
}

bool ProductionPhases::CopiarTablas(const QString&) {
    notAvailable("CopiarTablas");
    return false;
}

void ProductionPhases::descargarOtrosLocales() { ftp::descargarOtrosLocales(); }

void ProductionPhases::Main() { ftp::Main(); }

void ProductionPhases::ProcesarCargaInicial() { notAvailable("ProcesarCargaInicial"); }

}  // namespace lumaro::app
