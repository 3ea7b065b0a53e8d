#pragma once
// The chain's state as text for a terminal and as JSON for other programs.

#include <QByteArray>
#include <QDate>
#include <QString>

#include "cadena/EnviosCadena.h"

namespace lumaro::cadena {

// One line per store (latest day sent, days late, size), then which stores are late.
QString textoEstado(const EnviosCadena& envios, const QDate& hoy, int limite);

// {"servidor", "carpeta", "hoy", "diasTarde", "tiendas": [{"tienda", "ultimoDia",
// "diasDeRetraso", "tamano" (null when unknown), "estado" ("al dia", "atrasada", "tarde"),
// "diasEnviados" (the last 30 days)}], "tarde": [stores]}; dates as yyyy-mm-dd.
QByteArray jsonEstado(const EnviosCadena& envios, const QDate& hoy, int limite);

// The days of the report's chart: the last 30, ending today.
inline constexpr int kDiasGrafico = 30;

// The stores later than `limite` days.
QList<qlonglong> tiendasTarde(const EnviosCadena& envios, const QDate& hoy, int limite);

}  // namespace lumaro::cadena
