#include "app/ProductionPhases.h"

#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/ConfigLocales.h"
#include "db/clsDBAdmin.h"
#include "ftp/Correo.h"
#include "ftp/DownloadRun.h"
#include "ftp/UploadRun.h"
#include "importer/SyncLocales.h"
#include "outputs/EspejoMySql.h"
#include "outputs/ExportacionDBF.h"
#include "outputs/ModCargaMySQL.h"
#include "snapshot/CopiarTablas.h"
#include "snapshot/CrearBDTemp.h"

namespace lumaro::app {

ProductionPhases::ProductionPhases() { importer::setEspejoFusion(&m_espejo); }

ProductionPhases::~ProductionPhases() { importer::setEspejoFusion(nullptr); }

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
    const snapshot::SnapshotDelDia hoy = snapshot::crearBDTemp();
    m_conservada = hoy.estado == snapshot::SnapshotDelDia::Estado::Conservada;
    if (hoy.estado == snapshot::SnapshotDelDia::Estado::Creada || m_conservada) return hoy.nombre;
    return std::nullopt;
}

std::optional<snapshot::FilasPorTabla> ProductionPhases::CopiarTablas(const QString& nombre) {
    // A kept snapshot already holds its rows: its name is recorded, nothing is copied again.
    if (m_conservada) return snapshot::FilasPorTabla{};
    outputs::ExportacionDBF dbf;
    outputs::EspejoMySql espejo;
    return snapshot::CopiarTablas(nombre, {&dbf, &espejo});
}

ftp::DownloadRunOutcome ProductionPhases::descargarOtrosLocales() {
    return ftp::descargarOtrosLocales();
}

importer::ImportOutcome ProductionPhases::SyncLocales() {
    importer::ImportOutcome outcome = importer::SyncLocales();
    m_espejo.recogerPendiente();  // a merge that stopped may leave a mirror group on its way
    return outcome;
}

ftp::UploadOutcome ProductionPhases::Main() { return ftp::Main(); }

void ProductionPhases::ProcesarCargaInicial() { outputs::ProcesarCargaInicial(); }

void ProductionPhases::finDeCiclo() { ftp::enviarAvisosCorreo(); }

}  // namespace lumaro::app
