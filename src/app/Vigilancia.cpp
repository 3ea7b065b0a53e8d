#include "app/Vigilancia.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

#include "app/ArchivoEstado.h"
#include "config/Clock.h"
#include "config/Cp1252.h"
#include "config/Platform.h"
#include "config/Settings.h"

namespace lumaro::app::vigilancia {

namespace {

// "2026-12-05T14:30:00" as "05/12/2026 14:30:00"; "-" for none.
QString hora(const QJsonValue& iso) {
    const QDateTime t = QDateTime::fromString(iso.toString(), Qt::ISODate);
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) : QStringLiteral("-");
}

QString dia(const QJsonValue& iso) {
    const QDate d = QDate::fromString(iso.toString(), Qt::ISODate);
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("-");
}

}  // namespace

bool esServicio(qint64 pid) {
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (pid <= 0 || !cmdline.open(QIODevice::ReadOnly)) return true;
    const QByteArray argumentos = cmdline.read(64 * 1024);
    if (argumentos.isEmpty()) return true;
    return argumentos.split('\0').contains(QByteArrayLiteral("--headless"));
}

bool enEjecucion(qint64 pid) { return pid <= 0 || config::platform::processRunning(pid); }

QString aviso(qint64 pid, bool corriendo) {
    const QString id = pid > 0 ? QString::number(pid) : QStringLiteral("desconocido");
    if (!corriendo)
        return QStringLiteral(
                   "El servicio que tenia esta carpeta (PID %1) ya no esta en ejecucion. Cierre "
                   "esta ventana y abrala de nuevo para usar sus ordenes.")
            .arg(id);
    return QStringLiteral(
               "El servicio lumaro-sync esta en ejecucion en esta carpeta (PID %1): esta ventana "
               "solo muestra su estado y sus ordenes estan desactivadas. Para detenerlo: "
               "systemctl stop lumaro-sync, o kill %2.")
        .arg(id, pid > 0 ? id : QStringLiteral("<PID>"));
}

QStringList colaDelLog(int lineas) {
    QFile log(config::logPath(config::Clock::today()));
    if (!log.open(QIODevice::ReadOnly))
        return {QStringLiteral("No se pudo leer el registro ") + log.fileName() +
                QStringLiteral(": ") + log.errorString()};
    constexpr qint64 kCola = 64 * 1024;
    const bool cortado = log.size() > kCola;
    if (cortado) log.seek(log.size() - kCola);
    QList<QByteArray> partes = log.read(kCola).split('\n');
    if (cortado && !partes.isEmpty()) partes.removeFirst();  // a line cut by the seek
    QStringList salida;
    for (const QByteArray& p : partes)
        if (!p.trimmed().isEmpty()) salida << config::fromCp1252(p.trimmed());
    return salida.mid(std::max<qsizetype>(0, salida.size() - lineas));
}

QStringList lineasEstado() {
    QString error;
    const auto estado = leerArchivoEstado(&error);
    if (!estado)
        return {QStringLiteral("No se pudo leer el archivo de estado ") + rutaArchivoEstado() +
                QStringLiteral(": ") + error};
    const QJsonObject ciclo = estado->value(QStringLiteral("ciclo")).toObject();
    QString resultado =
        QStringLiteral("Ultimo ciclo: ") + ciclo.value(QStringLiteral("resultado")).toString();
    if (const QString causa = ciclo.value(QStringLiteral("causa")).toString(); !causa.isEmpty())
        resultado += QStringLiteral(" - ") + causa;
    QStringList salida{
        resultado,
        QStringLiteral("Inicio %1, fin %2")
            .arg(hora(ciclo.value(QStringLiteral("inicio"))),
                 hora(ciclo.value(QStringLiteral("fin")))),
        QStringLiteral("Proximo ciclo: ") + hora(estado->value(QStringLiteral("proximoCiclo")))};
    const QJsonObject envio = estado->value(QStringLiteral("ultimoEnvio")).toObject();
    salida << (envio.isEmpty() ? QStringLiteral("Ultimo envio: ninguno")
                               : QStringLiteral("Ultimo envio: %1 (%2)")
                                     .arg(envio.value(QStringLiteral("archivo")).toString(),
                                          hora(envio.value(QStringLiteral("hora")))));
    for (const QJsonValue& l : estado->value(QStringLiteral("locales")).toArray()) {
        const QString nombre = l[QStringLiteral("nombre")].toString();
        const QJsonValue debe = l[QStringLiteral("diasAdeudados")];
        salida << QStringLiteral("Local %1%2: ultimo dia fusionado %3, dias adeudados %4")
                      .arg(l[QStringLiteral("local")].toString(),
                           nombre.isEmpty() ? QString() : QStringLiteral(" - ") + nombre,
                           dia(l[QStringLiteral("ultimoDiaFusionado")]),
                           debe.isDouble() ? QString::number(debe.toInt()) : QStringLiteral("?"));
    }
    if (const QString e = estado->value(QStringLiteral("errorLedger")).toString(); !e.isEmpty())
        salida << QStringLiteral("Ledger: ") + e;
    return salida;
}

}  // namespace lumaro::app::vigilancia
