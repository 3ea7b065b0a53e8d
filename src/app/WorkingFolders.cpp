#include "app/WorkingFolders.h"

#include <QDir>
#include <QFileInfo>

#include "config/Settings.h"
#include "ftp/UploadRun.h"

namespace lumaro::app {

using config::programPath;

QStringList carpetasTrabajo() {
    return {QStringLiteral("Error"), QStringLiteral("MDB_descargadas"),
            QStringLiteral("MDB_enviadas"), QStringLiteral("MDB_Syncronizadas"),
            QStringLiteral("temp")};
}

void crearCarpetasTrabajo() {
    for (const QString& name : carpetasTrabajo()) {
        const QString path = programPath(name);
        if (QFileInfo::exists(path)) continue;
        if (!QDir().mkpath(path))
            config::EscribirLog(QStringLiteral("No se pudo crear la carpeta de trabajo ") + path);
    }
}

bool hayArchivosPorSubir() {
    const config::Inicio inicio = config::Inicio::leer();
    return ftp::hayArchivosPropiosSinEnviar({inicio.rtDbf, programPath(QStringLiteral("temp"))},
                                            inicio.localActivo);
}

}  // namespace lumaro::app
