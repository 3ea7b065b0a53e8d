#pragma once
// The mirror check: for each mirrored table, the MySQL mirror must hold exactly the principal
// store's production rows. Texts are compared with every quote as a blank on both sides; the
// flag and the VIP mark, which the mirror does not keep, are left out, as are columns the
// mirror's table lacks. The principal store's own rows reach the mirror through its copy,
// which writes most dates without their time of day: for them a mirror date at midnight of the
// same day also agrees.

#include <QString>
#include <optional>

#include "cadena/Informe.h"
#include "cadena/Tienda.h"

namespace lumaro::cadena {

struct DatosEspejo {
    QString host;
    QString puerto;
    QString usuario;
    QString clave;  // may itself hold ':'
    QString base;
};

// Reads "HOST:PUERTO:USUARIO:CLAVE:BASE"; nullopt when it is not of that form.
std::optional<DatosEspejo> leerDatosEspejo(const QString& texto);

// Compares; the differences go to the report, `filas` counts the rows compared. False, with
// the reason in error, when the mirror or the principal store cannot be read.
bool verificarEspejo(const DatosEspejo& espejo, const Tienda& principal, Informe& informe,
                     qlonglong& filas, QString* error);

}  // namespace lumaro::cadena
