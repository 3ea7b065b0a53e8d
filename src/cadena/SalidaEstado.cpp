#include "cadena/SalidaEstado.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace lumaro::cadena {

namespace {

QString dia(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

QString palabra(Retraso r) {
    switch (r) {
        case Retraso::AlDia:
            return QStringLiteral("al dia");
        case Retraso::Atrasada:
            return QStringLiteral("atrasada");
        case Retraso::Tarde:
            break;
    }
    return QStringLiteral("tarde");
}

QString lista(const QList<qlonglong>& tiendas) {
    QStringList textos;
    for (qlonglong t : tiendas) textos << QString::number(t);
    return textos.join(QStringLiteral(", "));
}

}  // namespace

QList<qlonglong> tiendasTarde(const EnviosCadena& envios, const QDate& hoy, int limite) {
    QList<qlonglong> tarde;
    for (const EnviosTienda& t : envios.tiendas)
        if (retraso(t.diasDeRetraso(hoy), limite) == Retraso::Tarde) tarde << t.tienda;
    return tarde;
}

QString textoEstado(const EnviosCadena& envios, const QDate& hoy, int limite) {
    QString texto = QStringLiteral("Carpeta de intercambio \"%1\" en %2, hoy %3\n")
                        .arg(envios.carpeta, envios.servidor, dia(hoy));
    if (envios.tiendas.empty())
        return texto + QStringLiteral("No hay snapshots de ninguna tienda en la carpeta.\n");
    texto += QStringLiteral("%1  %2  %3  %4  %5\n")
                 .arg(QStringLiteral("tienda"), 8)
                 .arg(QStringLiteral("ultimo dia"), 10)
                 .arg(QStringLiteral("dias de retraso"), 15)
                 .arg(QStringLiteral("bytes"), 12)
                 .arg(QStringLiteral("estado"));
    for (const EnviosTienda& t : envios.tiendas) {
        const qint64 dias = t.diasDeRetraso(hoy);
        texto +=
            QStringLiteral("%1  %2  %3  %4  %5\n")
                .arg(t.tienda, 8)
                .arg(dia(t.ultimo()), 10)
                .arg(dias, 15)
                .arg(t.tamano < 0 ? QStringLiteral("desconocido") : QString::number(t.tamano), 12)
                .arg(palabra(retraso(dias, limite)));
    }
    const QList<qlonglong> tarde = tiendasTarde(envios, hoy, limite);
    if (tarde.isEmpty())
        return texto +
               QStringLiteral("Ninguna tienda lleva mas de %1 dias sin enviar.\n").arg(limite);
    return texto + QStringLiteral("Tiendas con mas de %1 dias sin enviar: %2\n")
                       .arg(limite)
                       .arg(lista(tarde));
}

QByteArray jsonEstado(const EnviosCadena& envios, const QDate& hoy, int limite) {
    QJsonArray tiendas;
    for (const EnviosTienda& t : envios.tiendas) {
        QJsonArray recientes;
        for (const QDate& d : t.dias)
            if (d.daysTo(hoy) < kDiasGrafico && d <= hoy) recientes << d.toString(Qt::ISODate);
        const qint64 dias = t.diasDeRetraso(hoy);
        tiendas << QJsonObject{
            {QStringLiteral("tienda"), t.tienda},
            {QStringLiteral("ultimoDia"), t.ultimo().toString(Qt::ISODate)},
            {QStringLiteral("diasDeRetraso"), dias},
            {QStringLiteral("tamano"), t.tamano < 0 ? QJsonValue() : QJsonValue(t.tamano)},
            {QStringLiteral("estado"), palabra(retraso(dias, limite))},
            {QStringLiteral("diasEnviados"), recientes}};
    }
    QJsonArray tarde;
    for (qlonglong t : tiendasTarde(envios, hoy, limite)) tarde << t;
    const QJsonObject raiz{{QStringLiteral("servidor"), envios.servidor},
                           {QStringLiteral("carpeta"), envios.carpeta},
                           {QStringLiteral("hoy"), hoy.toString(Qt::ISODate)},
                           {QStringLiteral("diasTarde"), limite},
                           {QStringLiteral("tiendas"), tiendas},
                           {QStringLiteral("tarde"), tarde}};
    return QJsonDocument(raiz).toJson(QJsonDocument::Indented);
}

}  // namespace lumaro::cadena
