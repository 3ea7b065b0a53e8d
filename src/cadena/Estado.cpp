#include "cadena/Estado.h"

#include <QFileInfo>
#include <QSaveFile>

#include "cadena/EnviosCadena.h"
#include "cadena/InformeCentral.h"
#include "cadena/PaginaEstado.h"
#include "cadena/SalidaEstado.h"
#include "config/Clock.h"

namespace lumaro::cadena {

namespace {

struct Pedido {
    QString cfg;
    bool json = false;
    QString html;
    int limite = 2;
};

// Reads the arguments; on a mistake returns its description.
QString leerPedido(const QStringList& a, Pedido* p) {
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString& arg = a[i];
        const bool conValor =
            arg == QLatin1String("--html") || arg == QLatin1String("--dias-tarde");
        if (conValor && i + 1 >= a.size()) return arg + QStringLiteral(" necesita un valor");
        if (arg == QLatin1String("--json")) {
            p->json = true;
        } else if (arg == QLatin1String("--html")) {
            p->html = a[++i];
        } else if (arg == QLatin1String("--dias-tarde")) {
            bool ok = false;
            p->limite = a[++i].toInt(&ok);
            if (!ok || p->limite < 0)
                return QStringLiteral("--dias-tarde espera un numero de dias (0 o mas), no \"%1\"")
                    .arg(a[i]);
        } else if (arg.startsWith(QLatin1Char('-'))) {
            return QStringLiteral("opcion desconocida: ") + arg;
        } else if (!p->cfg.isEmpty()) {
            return QStringLiteral("sobra el argumento \"%1\" (CFG ya es \"%2\")").arg(arg, p->cfg);
        } else {
            p->cfg = arg;
        }
    }
    if (p->cfg.isEmpty())
        return QStringLiteral("falta CFG, el archivo de configuracion de una tienda");
    const QFileInfo cfg(p->cfg);
    if (!cfg.isFile()) return QStringLiteral("no existe el archivo de configuracion ") + p->cfg;
    // The settings are read as the program reads its own: <folder>/<name>.cfg.
    if (cfg.suffix() != QLatin1String("cfg"))
        return QStringLiteral("el archivo de configuracion debe terminar en .cfg: ") + p->cfg;
    return QString();
}

bool escribirPagina(const QString& ruta, const QString& html, QString* error) {
    QSaveFile archivo(ruta);
    if (archivo.open(QIODevice::WriteOnly) && archivo.write(html.toUtf8()) >= 0 && archivo.commit())
        return true;
    *error = archivo.errorString();
    return false;
}

}  // namespace

int estado(const QStringList& argumentos, QTextStream& out, QTextStream& err) {
    Pedido p;
    const QString mal = leerPedido(argumentos, &p);
    if (!mal.isEmpty()) {
        err << "lumaro-cadena estado: " << mal << "\n" << kUsoEstado << "\n";
        return kEstadoUsoMalo;
    }
    EnviosCadena envios;
    QString error;
    if (!leerEnvios(p.cfg, &envios, &error)) {
        err << "lumaro-cadena estado: " << error << "\n";
        return kEstadoSinServidor;
    }
    const QDate hoy = config::Clock::today();
    if (p.json)
        out << QString::fromUtf8(jsonEstado(envios, hoy, p.limite));
    else
        out << textoEstado(envios, hoy, p.limite);
    const QString pagina = paginaEstado(envios, hoy, p.limite);
    if (!p.html.isEmpty()) {
        if (!escribirPagina(p.html, pagina, &error)) {
            err << "lumaro-cadena estado: no se pudo escribir el informe " << p.html << ": "
                << error << "\n";
            return kEstadoSinServidor;
        }
        if (!p.json) out << "Informe escrito en " << p.html << "\n";
    }
    const QList<qlonglong> tarde = tiendasTarde(envios, hoy, p.limite);
    // With --json the mail's line goes to err, so that out stays JSON.
    if (const QString correo = enviarInformeCentral(p.cfg, pagina, tarde, p.limite);
        !correo.isEmpty())
        (p.json ? err : out) << correo << "\n";
    return tarde.isEmpty() ? kEstadoAlDia : kEstadoTarde;
}

}  // namespace lumaro::cadena
