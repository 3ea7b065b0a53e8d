#include "cadena/PaginaEstado.h"

#include <QLocale>

#include "cadena/SalidaEstado.h"

namespace lumaro::cadena {

namespace {

// The chart's geometry, in pixels.
constexpr int kCelda = 16, kHueco = 3, kEtiqueta = 80, kCabecera = 34;

const char* const kEstilo = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 24px; color: #222; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 28px 0 8px; }
p.datos { color: #555; margin: 0 0 16px; }
p.resumen { font-weight: bold; padding: 8px 12px; border-radius: 4px; display: inline-block; }
table { border-collapse: collapse; min-width: 560px; }
th, td { padding: 6px 14px; border: 1px solid #ccc; text-align: left; }
th { background: #eee; }
td.n { text-align: right; }
.aldia { background: #c8e6c9; }
.atrasada { background: #ffe0a3; }
.tarde { background: #ffb3b3; }
.leyenda span { display: inline-block; padding: 2px 10px; margin-right: 8px; border: 1px solid #ccc; }
svg text { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 11px; fill: #333; }
)";

QString dia(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

QString clase(Retraso r) {
    switch (r) {
        case Retraso::AlDia:
            return QStringLiteral("aldia");
        case Retraso::Atrasada:
            return QStringLiteral("atrasada");
        case Retraso::Tarde:
            break;
    }
    return QStringLiteral("tarde");
}

QString nombreEstado(Retraso r) {
    switch (r) {
        case Retraso::AlDia:
            return QStringLiteral("Al día");
        case Retraso::Atrasada:
            return QStringLiteral("Atrasada");
        case Retraso::Tarde:
            break;
    }
    return QStringLiteral("Tarde");
}

QString tabla(const EnviosCadena& envios, const QDate& hoy, int limite) {
    const QLocale es(QLocale::Spanish, QLocale::Spain);
    QString html = QStringLiteral(
        "<table><thead><tr><th>Tienda</th><th>Último día enviado</th><th>Días de retraso</th>"
        "<th>Tamaño</th><th>Estado</th></tr></thead><tbody>\n");
    for (const EnviosTienda& t : envios.tiendas) {
        const qint64 dias = t.diasDeRetraso(hoy);
        const Retraso r = retraso(dias, limite);
        html +=
            QStringLiteral(
                "<tr class=\"%1\"><td>%2</td><td>%3</td><td class=\"n\">%4</td>"
                "<td class=\"n\">%5</td><td>%6</td></tr>\n")
                .arg(clase(r), QString::number(t.tienda), dia(t.ultimo()), QString::number(dias),
                     t.tamano < 0 ? QStringLiteral("desconocido")
                                  : es.toString(t.tamano) + QStringLiteral(" bytes"),
                     nombreEstado(r));
    }
    return html + QStringLiteral("</tbody></table>\n");
}

// One row of cells per store, one column per day, the oldest on the left.
QString grafico(const EnviosCadena& envios, const QDate& hoy) {
    const QDate primero = hoy.addDays(1 - kDiasGrafico);
    const int ancho = kEtiqueta + kDiasGrafico * (kCelda + kHueco);
    const int alto = kCabecera + static_cast<int>(envios.tiendas.size()) * (kCelda + kHueco);
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                      "role=\"img\" aria-label=\"Días enviados por tienda\">\n")
                      .arg(ancho)
                      .arg(alto);
    for (int i = 0; i < kDiasGrafico; ++i) {
        const QDate d = primero.addDays(i);
        const int x = kEtiqueta + i * (kCelda + kHueco);
        if (i == 0 || d.day() == 1)
            svg += QStringLiteral("<text x=\"%1\" y=\"11\">%2</text>\n")
                       .arg(x)
                       .arg(d.toString(QStringLiteral("MM/yyyy")));
        svg += QStringLiteral("<text x=\"%1\" y=\"27\" text-anchor=\"middle\">%2</text>\n")
                   .arg(x + kCelda / 2)
                   .arg(d.day());
    }
    int y = kCabecera;
    for (const EnviosTienda& t : envios.tiendas) {
        svg += QStringLiteral("<text x=\"0\" y=\"%1\">Tienda %2</text>\n")
                   .arg(y + kCelda - 4)
                   .arg(t.tienda);
        for (int i = 0; i < kDiasGrafico; ++i) {
            const QDate d = primero.addDays(i);
            const bool enviado = t.dias.contains(d);
            svg += QStringLiteral(
                       "<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%3\" rx=\"2\" fill=\"%4\">"
                       "<title>Tienda %5, %6: %7</title></rect>\n")
                       .arg(kEtiqueta + i * (kCelda + kHueco))
                       .arg(y)
                       .arg(kCelda)
                       .arg(enviado ? QStringLiteral("#2e7d32") : QStringLiteral("#e0e0e0"))
                       .arg(t.tienda)
                       .arg(dia(d),
                            enviado ? QStringLiteral("enviado") : QStringLiteral("no enviado"));
        }
        y += kCelda + kHueco;
    }
    return svg + QStringLiteral("</svg>\n");
}

}  // namespace

QString paginaEstado(const EnviosCadena& envios, const QDate& hoy, int limite) {
    const QList<qlonglong> tarde = tiendasTarde(envios, hoy, limite);
    QStringList nombres;
    for (qlonglong t : tarde) nombres << QString::number(t);
    const QString resumen =
        tarde.isEmpty() ? QStringLiteral(
                              "<p class=\"resumen aldia\">Ninguna tienda lleva más de %1 días "
                              "sin enviar.</p>")
                              .arg(limite)
                        : QStringLiteral(
                              "<p class=\"resumen tarde\">Tiendas con más de %1 días sin "
                              "enviar: %2</p>")
                              .arg(limite)
                              .arg(nombres.join(QStringLiteral(", ")));
    QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html lang=\"es\"><head><meta charset=\"utf-8\">"
            "<title>Estado de la cadena, %1</title><style>")
            .arg(dia(hoy)) +
        QString::fromUtf8(kEstilo) + QStringLiteral("</style></head><body>\n") +
        QStringLiteral(
            "<h1>Estado de la cadena</h1>\n<p class=\"datos\">Carpeta de "
            "intercambio «%1» en el servidor FTP %2. Hoy: %3.</p>\n")
            .arg(envios.carpeta.toHtmlEscaped(), envios.servidor.toHtmlEscaped(), dia(hoy)) +
        resumen + QStringLiteral("\n");
    if (envios.tiendas.empty())
        return html + QStringLiteral(
                          "<p>No hay snapshots de ninguna tienda en la carpeta.</p>"
                          "</body></html>\n");
    html += tabla(envios, hoy, limite);
    html += QStringLiteral(
                "<p class=\"leyenda\"><span class=\"aldia\">Al día: envió hoy</span>"
                "<span class=\"atrasada\">Atrasada: de 1 a %1 días</span>"
                "<span class=\"tarde\">Tarde: más de %1 días</span></p>\n")
                .arg(limite);
    html += QStringLiteral("<h2>Días enviados en los últimos %1 días</h2>\n").arg(kDiasGrafico);
    html += grafico(envios, hoy);
    html += QStringLiteral(
        "<p class=\"leyenda\"><span style=\"background:#2e7d32;color:#fff\">enviado</span>"
        "<span style=\"background:#e0e0e0\">no enviado</span></p>\n</body></html>\n");
    return html;
}

}  // namespace lumaro::cadena
