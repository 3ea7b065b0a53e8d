#include "ftp/FtpUtil.h"

#include <QDir>
#include <QFileInfo>

#include "config/Clock.h"
#include "config/Settings.h"

namespace lumaro::ftp {

QString rutaPrograma(const QString& folder, const QString& name) {
    const QString inFolder = lumaro::config::programPath(folder);
    return name.isEmpty() ? inFolder : QDir::toNativeSeparators(QDir(inFolder).filePath(name));
}

bool existeArchivo(const QString& ruta) {
    const QFileInfo info(ruta);
    return info.exists() && info.isFile();
}

}  // namespace lumaro::ftp
