#include "cadena/EnviosCadena.h"

#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <climits>

#include "config/Settings.h"
#include "ftp/FtpClient.h"
#include "ftp/FtpSettings.h"

namespace lumaro::cadena {

ConfiguracionDe::ConfiguracionDe(const QString& cfg)
    : m_carpeta(config::programFolder()), m_nombre(config::executableBaseName()) {
    const QFileInfo archivo(cfg);
    config::setProgramFolder(archivo.absolutePath());
    config::setExecutableBaseName(archivo.completeBaseName());
}

ConfiguracionDe::~ConfiguracionDe() {
    config::setProgramFolder(m_carpeta);
    config::setExecutableBaseName(m_nombre);
}

Retraso retraso(qint64 diasDeRetraso, int limite) {
    if (diasDeRetraso <= 0) return Retraso::AlDia;
    return diasDeRetraso <= limite ? Retraso::Atrasada : Retraso::Tarde;
}

std::vector<EnviosTienda> agruparSnapshots(const QStringList& nombres) {
    static const QRegularExpression patron(QStringLiteral("^(\\d{1,10})_(\\d{8})\\.mdb$"),
                                           QRegularExpression::CaseInsensitiveOption);
    QMap<qlonglong, QMap<QDate, QString>> porTienda;
    for (const QString& nombre : nombres) {
        const QRegularExpressionMatch m = patron.match(nombre);
        if (!m.hasMatch()) continue;
        const qlonglong tienda = m.captured(1).toLongLong();
        const QDate dia = QDate::fromString(m.captured(2), QStringLiteral("ddMMyyyy"));
        if (tienda > 0 && tienda <= INT_MAX && dia.isValid()) porTienda[tienda].insert(dia, nombre);
    }
    std::vector<EnviosTienda> tiendas;
    for (auto t = porTienda.cbegin(); t != porTienda.cend(); ++t)
        tiendas.push_back({t.key(), t.value().keys(), t.value().last(), -1});
    return tiendas;
}

bool leerEnvios(const QString& cfg, EnviosCadena* envios, QString* error) {
    const ConfiguracionDe configuracion(cfg);
    const ftp::FtpSettings ajustes = ftp::FtpSettings::read();
    envios->servidor = ajustes.host;
    envios->carpeta = ajustes.subFile;
    envios->tiendas.clear();
    if (ajustes.host.isEmpty()) {
        *error = QStringLiteral("%1 no da el servidor FTP (IpFtp en [Inicio])").arg(cfg);
        return false;
    }
    ftp::FtpClient cliente(ajustes);
    QStringList nombres;
    const ftp::FtpResult lista = cliente.list(ajustes.listingFolder(), &nombres);
    if (!lista.ok) {
        *error =
            QStringLiteral(
                "no se pudo listar la carpeta de intercambio \"%1\" del servidor "
                "FTP %2: %3")
                .arg(ajustes.subFile, ajustes.host,
                     lista.message.isEmpty() ? QStringLiteral("sin respuesta") : lista.message);
        return false;
    }
    envios->tiendas = agruparSnapshots(nombres);
    for (EnviosTienda& t : envios->tiendas) {
        const ftp::FtpResult r = cliente.remoteSize(ajustes.transferPath(t.archivo), &t.tamano);
        if (r.notConnected) {
            *error = QStringLiteral(
                         "el servidor FTP %1 dejo de responder al pedir el tamano de "
                         "%2: %3")
                         .arg(ajustes.host, t.archivo, r.message);
            return false;
        }
    }
    return true;
}

}  // namespace lumaro::cadena
