#include "cadena/EstadoEsperado.h"

#include <QDateTime>

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

std::optional<qlonglong> duenioDeFila(const Table& tabla, const Fila& fila) {
    static const std::vector<int> columnas = [] {
        std::vector<int> c;
        for (const Table& t : snapshot::tables())
            c.push_back(snapshot::indiceColumna(t, QString::fromUtf8(t.owningStore)));
        return c;
    }();
    const QVariant& v = fila[static_cast<size_t>(columnas[indiceTabla(tabla)])];
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

void normalizar(const Table& tabla, Fila& fila) {
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        const snapshot::Column& c = tabla.columns[i];
        if (c.type == snapshot::ColumnType::Flag)
            fila[i] = QVariant();
        else if (snapshot::esColumnaVip(c) && fila[i].isNull())
            fila[i] = QVariant(qlonglong{0});
    }
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
