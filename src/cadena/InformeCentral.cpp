#include "cadena/InformeCentral.h"

#include <QStringList>

#include "cadena/EnviosCadena.h"
#include "config/Settings.h"
#include "ftp/Correo.h"

namespace lumaro::cadena {

QString enviarInformeCentral(const QString& cfg, const QString& pagina,
                             const QList<qlonglong>& tarde, int limite) {
    const ConfiguracionDe configuracion(cfg);
    const QString para =
        config::LeerConfigSeccion(QStringLiteral("Correo"), QStringLiteral("CorreoCentral"))
            .trimmed();
    if (para.isEmpty()) return QString();
    const QString noSe =
        QStringLiteral("No se envio el informe por correo a ") + para + QStringLiteral(": ");
    if (tarde.isEmpty()) return noSe + QStringLiteral("ninguna tienda esta tarde");
    const ftp::CorreoSettings ajustes = ftp::CorreoSettings::read();
    if (!ajustes.configurado())
        return noSe + QStringLiteral("faltan Servidor o Remitente en [Correo] de ") + cfg;
    QStringList tiendas;
    for (qlonglong t : tarde) tiendas << QString::number(t);
    const QString asunto = QStringLiteral("Tiendas con mas de %1 dias sin enviar: %2")
                               .arg(limite)
                               .arg(tiendas.join(QStringLiteral(", ")));
    const ftp::CorreoResult r =
        ftp::enviarCorreo(ajustes, para, asunto, pagina, QStringLiteral("text/html"));
    if (!r.ok) return noSe + r.message;
    return QStringLiteral("Informe enviado por correo a ") + para + QStringLiteral(" (") + asunto +
           u')';
}

}  // namespace lumaro::cadena
