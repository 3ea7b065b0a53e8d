#include "config/LogRetenido.h"

#include <QFile>
#include <mutex>

namespace lumaro::config {

namespace {

constexpr qsizetype kMaxRetenido = 1 << 20;  // bytes held before they are written anyway

struct Retenido {
    std::recursive_mutex cerrojo;  // a line from another thread waits its turn
    int niveles = 0;
    QString ruta;  // the file the held bytes go to
    QByteArray bytes;
};

Retenido& retenido() {
    static Retenido r;
    return r;
}

void escribir(const QString& ruta, const QByteArray& bytes) {
    QFile file(ruta);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    file.write(bytes);
    file.close();
}

}  // namespace

LogRetenido::LogRetenido() {
    const std::lock_guard cerrado(retenido().cerrojo);
    ++retenido().niveles;
}

LogRetenido::~LogRetenido() {
    const std::lock_guard cerrado(retenido().cerrojo);
    if (--retenido().niveles == 0) escribirLogRetenido();
}

void escribirLogRetenido() {
    Retenido& r = retenido();
    const std::lock_guard cerrado(r.cerrojo);
    if (r.bytes.isEmpty()) return;
    escribir(r.ruta, r.bytes);
    r.bytes.clear();
}

void agregarLineaLog(const QString& ruta, const QByteArray& linea) {
    Retenido& r = retenido();
    const std::lock_guard cerrado(r.cerrojo);
    if (r.niveles == 0) return escribir(ruta, linea);
    // A line for another file (the day changed) first sends what is held to its own.
    if (ruta != r.ruta || r.bytes.size() >= kMaxRetenido) escribirLogRetenido();
    r.ruta = ruta;
    r.bytes += linea;
}

}  // namespace lumaro::config
