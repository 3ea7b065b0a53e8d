#include "cadena/EstadoEsperado.h"

#include <QDateTime>
#include <functional>

#include "importer/ReglasFusion.h"
#include "snapshot/ValoresCopia.h"

namespace lumaro::cadena {

using importer::Regla;
using snapshot::Fila;
using snapshot::Table;

size_t indiceTabla(const Table& tabla) {
    return static_cast<size_t>(&tabla - snapshot::tables().data());
}

QString textoClave(const Table& tabla, const Fila& fila) {
    QString out;
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        if (!tabla.columns[i].key) continue;
        out += fila[i].isNull() ? QStringLiteral("\x01") : fila[i].toString();
        out += u'\x1f';
    }
    return out;
}

namespace {

// A column of each table (by the data model's order) found once: -1 where the table has none.
std::vector<int> columnaPorTabla(const std::function<int(const Table&)>& buscar) {
    std::vector<int> c;
    for (const Table& t : snapshot::tables()) c.push_back(buscar(t));
    return c;
}

}  // namespace

std::optional<qlonglong> duenioDeFila(const Table& tabla, const Fila& fila) {
    static const std::vector<int> columnas = columnaPorTabla([](const Table& t) {
        return snapshot::indiceColumna(t, QString::fromUtf8(t.owningStore));
    });
    const QVariant& v = fila[static_cast<size_t>(columnas[indiceTabla(tabla)])];
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

void normalizar(const Table& tabla, Fila& fila) {
    static const std::vector<int> vip = columnaPorTabla([](const Table& t) {
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (snapshot::esColumnaVip(t.columns[i])) return static_cast<int>(i);
        return -1;
    });
    static const std::vector<int> marca = columnaPorTabla([](const Table& t) {
        return snapshot::indiceColumna(t, QString::fromUtf8(snapshot::kFlagColumn));
    });
    const size_t t = indiceTabla(tabla);
    if (marca[t] >= 0) fila[static_cast<size_t>(marca[t])] = QVariant();
    if (vip[t] >= 0 && fila[static_cast<size_t>(vip[t])].isNull())
        fila[static_cast<size_t>(vip[t])] = QVariant(qlonglong{0});
}

EstadoEsperado::EstadoEsperado() : m_tablas(snapshot::tables().size()) {}

QHash<QString, FilaEsperada>& EstadoEsperado::filas(const Table& tabla) {
    return m_tablas[indiceTabla(tabla)];
}

namespace {

// Whether a by-date table's incoming version replaces the held one, as its merge decides.
bool reemplazaPorFecha(const importer::ReglaFusion& r, const Fila& tenida, const Fila& nueva) {
    if (!nueva[static_cast<size_t>(r.reverso)].isNull()) return true;
    const QVariant& entrante = nueva[static_cast<size_t>(r.fechaCambio)];
    const QVariant& actual = tenida[static_cast<size_t>(r.fechaCambio)];
    return !entrante.isNull() && (actual.isNull() || actual.toDateTime() < entrante.toDateTime());
}

}  // namespace

void EstadoEsperado::aplicar(const Table& tabla, Fila& fila, int duenio) {
    QHash<QString, FilaEsperada>& mapa = filas(tabla);
    const QString clave = textoClave(tabla, fila);
    auto it = mapa.find(clave);
    if (it == mapa.end()) {
        mapa.insert(clave, FilaEsperada{std::move(fila), duenio, -1});
        return;
    }
    const importer::ReglaFusion& regla = importer::reglaDeTabla(tabla);
    switch (regla.regla) {
        case Regla::SoloInsertar:
            return;
        case Regla::PorFecha:
            if (!reemplazaPorFecha(regla, it->fila, fila)) return;
            break;
        case Regla::Sobrescribir:
            break;
    }
    it->fila = std::move(fila);
}

}  // namespace lumaro::cadena
