#pragma once
// Small helpers shared by the transfer, the upload run and the download run.

#include <QString>

#include "config/Clock.h"

namespace lumaro::ftp {

using lumaro::config::marcaTiempo;

// <program folder>/<folder>/<name> in the platform's form.
QString rutaPrograma(const QString& folder, const QString& name = QString());

// The sent-file test: MDB_enviadas holds a file named "<anything>_<nombre>" (the archive
// copies are hhmmss_<nombre>). Letter case is ignored, as the file system of the stores does.
bool yaEnviado(const QString& nombre);

// True when the folder holds a regular file of that exact name.
bool existeArchivo(const QString& ruta);

}  // namespace lumaro::ftp
