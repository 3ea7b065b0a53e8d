#pragma once
// The phases of the real program.

#include <vector>

#include "app/Phases.h"

namespace lumaro::app {

class ProductionPhases : public Phases {
public:
    bool AbrirConexion(int kind) override;
    std::optional<bool> esLocalPrincipal() override;
    bool ConfigLocales() override;
    void CerrarBD(Conexion which) override;
    std::optional<QString> crearBDTemp() override;
    bool CopiarTablas(const QString& nombre) override;
    void descargarOtrosLocales() override;
    void Main() override;
    void ProcesarCargaInicial() override;

private:
    // crearBDTemp kept today's snapshot because it already holds rows.
    bool m_conservada = false;
};

}  // namespace lumaro::app
