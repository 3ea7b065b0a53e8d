#pragma once
// The chain's state as one self-contained HTML page (inline CSS and SVG, no script, nothing
// fetched): a table of the stores coloured by lateness and a chart of the days each store sent
// over the last 30 days.

#include <QDate>
#include <QString>

#include "cadena/EnviosCadena.h"

namespace lumaro::cadena {

QString paginaEstado(const EnviosCadena& envios, const QDate& hoy, int limite);

}  // namespace lumaro::cadena
