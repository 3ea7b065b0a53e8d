#include "app/WorkingFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "config/Settings.h"

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

namespace {

bool yaEnviado(const QString& name) {
    const QDir enviadas(programPath(QStringLiteral("MDB_enviadas")));
    return !enviadas.entryList({QStringLiteral("*_") + name}, QDir::Files).isEmpty();
}

bool hayEnCarpeta(const QString& folder, const QRegularExpression& propio) {
    if (folder.isEmpty()) return false;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo& fi : entries) {
        if (fi.isHidden() || !fi.isWritable()) continue;
        if (propio.match(fi.fileName()).hasMatch() && !yaEnviado(fi.fileName())) return true;
    }
    return false;
}

}  // namespace

bool hayArchivosPorSubir() {
    const QString local = config::LeerConfig(QStringLiteral("Local_Activo"));
    static const QRegularExpression numero(QStringLiteral("^[0-9]{1,9}$"));
    if (!numero.match(local).hasMatch()) return false;
    const QRegularExpression propio(
        QStringLiteral("^%1_([0-9]{8}\\.mdb|[CTAK]_[A-Z0-9]{2,3}\\.dbf)$").arg(local.toInt()),
        QRegularExpression::CaseInsensitiveOption);
    return hayEnCarpeta(config::LeerConfig(QStringLiteral("RtDbf")), propio) ||
           hayEnCarpeta(programPath(QStringLiteral("temp")), propio);
}

}  // namespace lumaro::app
