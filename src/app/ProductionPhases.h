#pragma once
// The phases of the real program. A phase whose module is not part of this build fails
// honestly: it writes a log line saying so and reports failure, so nothing pretends to have
// run.

#include "app/Phases.h"

namespace lumaro::app {

class ProductionPhases : public Phases {
public:
    // Installs the import run: the snapshot engine behind AbrirConexion(2) and the merge that
    // the upload run calls first.
    ProductionPhases();
    bool AbrirConexion(int kind) override;
    std::optional<bool> esLocalPrincipal() override;
    bool ConfigLocales() override;
    void CerrarBD(Conexion which) override;
    std::optional<QString> crearBDTemp() override;
    bool CopiarTablas(const QString& nombre) override;
    void descargarOtrosLocales() override;
    void Main() override;
    void ProcesarCargaInicial() override;
};

}  // namespace lumaro::app
