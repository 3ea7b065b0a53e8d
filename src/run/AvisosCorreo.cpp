#include "run/AvisosCorreo.h"

#include <utility>

#include "config/Settings.h"

namespace lumaro::run {

using config::EscribirLog;

namespace {
QStringList& pendientes() {
    static QStringList lineas;
    return lineas;
}
}  // namespace

void EscribirLogCorreo(const QString& linea) {
    EscribirLog(linea);
    pendientes().append(linea);
}

QStringList tomarAvisosCorreo() { return std::exchange(pendientes(), QStringList()); }

}  // namespace lumaro::run
