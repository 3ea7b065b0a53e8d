#include "app/ArchivoEstado.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <algorithm>

#include "config/Clock.h"
#include "config/Settings.h"
#include "db/ConfigLocales.h"
#include "db/clsLocal.h"
#include "ftp/DiasAdeudados.h"
#include "ledger/FilasLedger.h"
#include "ledger/Ledger.h"

namespace lumaro::app {

namespace {

QJsonValue hora(const QDateTime& t) {
    return t.isValid() ? QJsonValue(t.toString(Qt::ISODate)) : QJsonValue();
}

QJsonValue dia(const QDate& d) {
    return d.isValid() ? QJsonValue(d.toString(Qt::ISODate)) : QJsonValue();
}

// The newest archived copy of this store's snapshot.
QJsonValue ultimoEnvio(const QString& propio) {
    const QList<EnvioPropio> envios = enviosPropios(propio);
    if (envios.isEmpty()) return QJsonValue();
    return QJsonObject{{QStringLiteral("archivo"), envios.first().archivo},
                       {QStringLiteral("hora"), hora(envios.first().hora)}};
}

// Per other store of the ledger: the last day merged here and the days it still owes.
void locales(const QString& propio, QJsonObject& estado) {
    QString error;
    const auto filas = ledger::leerFilasLedger(ledger::rutaLedger(), &error);
    QJsonArray lista;
    if (!filas) {
        estado.insert(QStringLiteral("errorLedger"), error);
        estado.insert(QStringLiteral("locales"), lista);
        return;
    }
    QList<qint64> ids;
    for (const ledger::FilaLedger& f : *filas)
        if (!ids.contains(f.idLocal) && QString::number(f.idLocal) != propio) ids << f.idLocal;
    std::sort(ids.begin(), ids.end());
    ftp::DiasAdeudados adeudados;
    const QMap<QString, QString> nombres = nombresLocales();
    for (const qint64 n : ids) {
        const QString id = QString::number(n);
        const ledger::HistorialLocal historial = ledger::historialLocal(id);
        QDate fusionado;
        for (auto it = historial.dias.cbegin(); it != historial.dias.cend(); ++it)
            if (it->sincronizado) fusionado = it.key();
        bool procesado = false;
        const QJsonValue debe =
            historial.estado == ledger::UltimaDescarga::Estado::Registrada
                ? QJsonValue(adeudados.deLocal(id, historial, &procesado).size())
                : QJsonValue();
        lista.append(QJsonObject{{QStringLiteral("local"), id},
                                 {QStringLiteral("nombre"), nombres.value(id)},
                                 {QStringLiteral("ultimoDiaFusionado"), dia(fusionado)},
                                 {QStringLiteral("diasAdeudados"), debe}});
    }
    estado.insert(QStringLiteral("locales"), lista);
}

QJsonObject recuento(const QMap<QString, qint64>& filas) {
    QJsonObject o;
    for (auto it = filas.cbegin(); it != filas.cend(); ++it) o.insert(it.key(), it.value());
    return o;
}

}  // namespace

QString localPropio() {
    const QString id = db::idLocalPropio();
    return id.isEmpty() ? config::Inicio::leer().localActivo : id;
}

QList<EnvioPropio> enviosPropios(const QString& idLocal) {
    QList<EnvioPropio> envios;
    if (!ledger::idLocalValido(idLocal)) return envios;
    const QFileInfoList copias =
        QDir(config::programPath(QStringLiteral("MDB_enviadas")))
            .entryInfoList({QStringLiteral("*_") + idLocal + QStringLiteral("_*.mdb")}, QDir::Files,
                           QDir::Time);
    for (const QFileInfo& f : copias) {
        // "*_3_*" also matches "1_3_...": the store must be the second part.
        const QStringList partes = f.completeBaseName().split(u'_');
        const QDate dia = partes.size() == 3 && partes[1] == idLocal
                              ? QDate::fromString(partes[2], QStringLiteral("ddMMyyyy"))
                              : QDate();
        if (dia.isValid()) envios.append({f.fileName().section(u'_', 1), dia, f.lastModified()});
    }
    return envios;
}

QString rutaArchivoEstado() { return config::programPath(QStringLiteral("estado.json")); }

QJsonObject armarEstado(const Report& report, const std::optional<QDateTime>& proximo) {
    const QString propio = localPropio();
    QJsonObject ciclo{{QStringLiteral("inicio"), hora(report.inicio)},
                      {QStringLiteral("fin"), hora(report.fin)},
                      {QStringLiteral("resultado"), textoResultado(report.outcome)},
                      {QStringLiteral("causa"), report.reason}};
    if (report.inicio.isValid() && report.fin.isValid())
        ciclo.insert(QStringLiteral("segundos"), report.inicio.secsTo(report.fin));
    if (!report.filasCopiadas.isEmpty())
        ciclo.insert(QStringLiteral("filasCopiadas"), recuento(report.filasCopiadas));
    QJsonObject fusionadas;
    for (auto it = report.filasFusionadas.cbegin(); it != report.filasFusionadas.cend(); ++it)
        fusionadas.insert(it.key(), recuento(it.value()));
    if (!fusionadas.isEmpty()) ciclo.insert(QStringLiteral("filasFusionadas"), fusionadas);

    QJsonObject estado{{QStringLiteral("version"), QCoreApplication::applicationVersion()},
                       {QStringLiteral("local"), propio},
                       {QStringLiteral("escrito"), hora(config::Clock::now())},
                       {QStringLiteral("ciclo"), ciclo},
                       {QStringLiteral("ultimoEnvio"), ultimoEnvio(propio)},
                       {QStringLiteral("proximoCiclo"), proximo ? hora(*proximo) : QJsonValue()}};
    locales(propio, estado);
    return estado;
}

bool escribirArchivoEstado(const Report& report, const std::optional<QDateTime>& proximo) {
    QSaveFile archivo(rutaArchivoEstado());
    const QByteArray json = QJsonDocument(armarEstado(report, proximo)).toJson();
    if (archivo.open(QIODevice::WriteOnly) && archivo.write(json) == json.size() &&
        archivo.commit())
        return true;
    config::EscribirLog(QStringLiteral("No se pudo escribir el archivo de estado ") +
                        rutaArchivoEstado() + QStringLiteral(": ") + archivo.errorString());
    return false;
}

std::optional<QJsonObject> leerArchivoEstado(QString* error) {
    QFile archivo(rutaArchivoEstado());
    if (!archivo.open(QIODevice::ReadOnly)) {
        if (error) *error = archivo.errorString();
        return std::nullopt;
    }
    QJsonParseError problema;
    const QJsonDocument doc = QJsonDocument::fromJson(archivo.read(1 << 20), &problema);
    if (!doc.isObject()) {
        if (error) *error = problema.errorString();
        return std::nullopt;
    }
    return doc.object();
}

QMap<QString, QString> nombresLocales() {
    QMap<QString, QString> nombres;
    if (const auto estado = leerArchivoEstado(nullptr))
        for (const QJsonValue& l : estado->value(QStringLiteral("locales")).toArray())
            if (const QString n = l[QStringLiteral("nombre")].toString(); !n.isEmpty())
                nombres.insert(l[QStringLiteral("local")].toString(), n);
    const db::clsLocal& registro = db::locales();
    for (int i = 0; i < registro.getNroLocales(); ++i) {
        const QString id = registro.getIdLocal(i).trimmed();
        if (!id.isEmpty()) nombres.insert(id, registro.getNombreLocal(i).trimmed());
    }
    return nombres;
}

}  // namespace lumaro::app
