#include "ftp/FtpUtil.h"

#include <curl/curl.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <mutex>

#include "config/Clock.h"
#include "config/Settings.h"

namespace lumaro::ftp {

QString rutaPrograma(const QString& folder, const QString& name) {
    const QString inFolder = lumaro::config::programPath(folder);
    return name.isEmpty() ? inFolder : QDir::toNativeSeparators(QDir(inFolder).filePath(name));
}

void iniciarCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void exigirTls(void* curl, const QByteArray& caFile) {
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
}

QString ocultarClaves(QString texto, const QStringList& claves) {
    const QString oculta = QStringLiteral("******");
    for (const QString& clave : claves) {
        if (!clave.isEmpty()) texto.replace(clave, oculta);
    }
    static const QRegularExpression enDireccion(QStringLiteral("(://[^/@:\\s]*):[^@/\\s]*@"));
    return texto.replace(enDireccion, QStringLiteral("\\1:") + oculta + QLatin1Char('@'));
}

bool existeArchivo(const QString& ruta) {
    const QFileInfo info(ruta);
    return info.exists() && info.isFile();
}

}  // namespace lumaro::ftp
