#pragma once
// Small helpers shared by the transfer, the upload run and the download run.

#include <QString>

#include "config/Clock.h"
#include "snapshot/Enviados.h"

namespace lumaro::ftp {

using lumaro::config::marcaTiempo;

// <program folder>/<folder>/<name> in the platform's form.
QString rutaPrograma(const QString& folder, const QString& name = QString());

using lumaro::snapshot::yaEnviado;

// True when the folder holds a regular file of that exact name.
bool existeArchivo(const QString& ruta);

}  // namespace lumaro::ftp
