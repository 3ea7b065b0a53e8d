#pragma once
// The phases of the real program.

#include "app/Phases.h"
#include "outputs/EspejoMySql.h"

namespace lumaro::app {

class ProductionPhases : public Phases {
public:
    // Sets the mirror the merges feed; the destructor removes it.
    ProductionPhases();
    ~ProductionPhases() override;
    ProductionPhases(const ProductionPhases&) = delete;
    ProductionPhases& operator=(const ProductionPhases&) = delete;
    bool AbrirConexion(int kind) override;
    std::optional<bool> esLocalPrincipal() override;
    bool ConfigLocales() override;
    void CerrarBD(Conexion which) override;
    std::optional<QString> crearBDTemp() override;
    std::optional<snapshot::FilasPorTabla> CopiarTablas(const QString& nombre) override;
    ftp::DownloadRunOutcome descargarOtrosLocales() override;
    importer::ImportOutcome SyncLocales() override;
    ftp::UploadOutcome Main() override;
    void ProcesarCargaInicial() override;
    void finDeCiclo() override;

private:
    outputs::EspejoMySql m_espejo;  // the mirror of the merges
    // crearBDTemp kept today's snapshot because it already holds rows.
    bool m_conservada = false;
};

}  // namespace lumaro::app
