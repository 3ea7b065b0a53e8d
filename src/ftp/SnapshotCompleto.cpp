#include "ftp/SnapshotCompleto.h"

#include <QFile>

#include "jet/Reader.h"

namespace lumaro::ftp {

namespace {
QString texto(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

bool snapshotCompleto(const QString& ruta, QString* motivo) {
    const auto db = jet::Database::open(QFile::encodeName(ruta).toStdString());
    if (!db) {
        *motivo = texto(db.status().message());
        return false;
    }
    for (const jet::CatalogEntry& entrada : db.value().catalog()) {
        if (!entrada.isUserTable()) continue;
        const auto tabla = db.value().table(entrada.name);
        if (!tabla) {
            *motivo = QStringLiteral("la tabla %1 no se puede abrir: %2")
                          .arg(texto(entrada.name), texto(tabla.status().message()));
            return false;
        }
        uint32_t filas = 0;
        const jet::Status leida = tabla.value().forEachRow([&filas](const jet::Row&) {
            ++filas;
            return true;
        });
        if (!leida) {
            *motivo = QStringLiteral("la tabla %1 no se puede leer: %2")
                          .arg(texto(entrada.name), texto(leida.message()));
            return false;
        }
        if (filas < tabla.value().storedRowCount()) {
            *motivo = QStringLiteral("la tabla %1 tiene %2 de sus %3 filas")
                          .arg(texto(entrada.name))
                          .arg(filas)
                          .arg(tabla.value().storedRowCount());
            return false;
        }
    }
    return true;
}

}  // namespace lumaro::ftp
