#include "importer/Archivado.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <filesystem>
#include <system_error>

#include "config/Platform.h"
#include "config/Settings.h"

namespace lumaro::importer {

namespace {

namespace fs = std::filesystem;

fs::path rutaFs(const QString& ruta) { return fs::path(QFile::encodeName(ruta).toStdString()); }

QString textoDe(const std::error_code& ec) { return QString::fromLocal8Bit(ec.message()); }

// Room a file system needs beyond the bytes themselves (blocks, metadata).
constexpr qint64 kHolgura = 64 * 1024;

}  // namespace

QString causaEscritura(const QString& carpeta, qint64 bytes, const QString& textoSistema,
                       int error) {
    const QString nativa = QDir::toNativeSeparators(carpeta);
    if (!QFileInfo(carpeta).isDir()) return QStringLiteral("no existe la carpeta ") + nativa;
    const QStorageInfo disco(carpeta);
    const bool dudoso = error == 0 || error == EIO;  // a full disk may show as either
    if (config::platform::diskFull(error) ||
        (dudoso && disco.isValid() && disco.bytesAvailable() < bytes + kHolgura))
        return QStringLiteral("no queda espacio libre en ") + nativa +
               QStringLiteral(" (%1 bytes libres)").arg(disco.bytesAvailable());
    if (error == EACCES || error == EPERM || error == EROFS ||
        (dudoso && !config::platform::folderWritable(carpeta)))
        return QStringLiteral("la carpeta ") + nativa + QStringLiteral(" no admite escritura");
    return textoSistema + QStringLiteral(" (") + nativa + u')';
}

bool archivar(const QString& origen, const QString& destino, QString* causa) {
    const QString carpeta = QFileInfo(destino).absolutePath();
    const qint64 tamano = QFileInfo(origen).size();
    std::error_code ec;
    fs::rename(rutaFs(origen), rutaFs(destino), ec);
    if (!ec) return true;
    if (ec == std::errc::cross_device_link) {
        // MinGW's copy_file refuses to replace a file: the old one goes first.
        fs::remove(rutaFs(destino), ec);
        fs::copy_file(rutaFs(origen), rutaFs(destino), fs::copy_options::overwrite_existing, ec);
        if (!ec && QFileInfo(destino).size() != tamano)
            ec = std::make_error_code(std::errc::io_error);
        if (!ec) {
            // The copy is whole: the file is filed even if the source cannot be deleted.
            if (!fs::remove(rutaFs(origen), ec) || ec)
                config::EscribirLog(
                    QStringLiteral("Se archivo ") + QDir::toNativeSeparators(destino) +
                    QStringLiteral(", pero no se pudo borrar ") + QDir::toNativeSeparators(origen) +
                    QStringLiteral(": ") + textoDe(ec));
            return true;
        }
        QFile::remove(destino);
    }
    if (causa) *causa = causaEscritura(carpeta, tamano, textoDe(ec), ec.value());
    return false;
}

}  // namespace lumaro::importer
