#include "ftp/FtpSettings.h"

#include <QDir>

#include "config/Settings.h"

namespace lumaro::ftp {

namespace {
FtpTimeouts& currentTimeouts() {
    static FtpTimeouts timeouts;
    return timeouts;
}
}  // namespace

bool activado(const QString& valor) { return !valor.isEmpty() && valor != QStringLiteral("0"); }

QString rutaConfigurada(const QString& valor) {
    if (valor.isEmpty() || QDir::isAbsolutePath(valor)) return valor;
    return lumaro::config::programPath(valor);
}

FtpSettings FtpSettings::read() {
    using lumaro::config::LeerConfig;
    FtpSettings s;
    s.host = LeerConfig(QStringLiteral("IpFtp"));
    s.user = LeerConfig(QStringLiteral("UsuarioFtp"));
    s.password = LeerConfig(QStringLiteral("ContraseñaFtp"));
    s.subFile = LeerConfig(QStringLiteral("SubFile"));
    s.tls = activado(LeerConfig(QStringLiteral("FtpTLS")));
    s.caFile = rutaConfigurada(LeerConfig(QStringLiteral("FtpCA")));
    s.passive = LeerConfig(QStringLiteral("FtpPasivo")) == QStringLiteral("1");
    return s;
}

QString FtpSettings::listingFolder() const {
    QString folder = subFile;
    return folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString FtpSettings::transferPath(const QString& name) const {
    return subFile + QLatin1Char('/') + name;
}

FtpTimeouts ftpTimeouts() { return currentTimeouts(); }

void setFtpTimeouts(const FtpTimeouts& timeouts) { currentTimeouts() = timeouts; }

}  // namespace lumaro::ftp
