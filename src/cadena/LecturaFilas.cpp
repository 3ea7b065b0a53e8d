#include "cadena/LecturaFilas.h"

#include <QFile>
#include <QFileInfo>

#include "db/ConnectionText.h"
#include "db/Cursor.h"
#include "db/clsDBAdmin.h"
#include "importer/StatementTemplates.h"
#include "jet/Reader.h"
#include "snapshot/ValoresCopia.h"

namespace lumaro::cadena {

namespace {

using snapshot::Fila;
using snapshot::Table;

QString desdeStd(const std::string& s) { return QString::fromStdString(s); }

// One table of an open snapshot: where each data-model column sits in the stored rows.
bool leerTablaSnapshot(const jet::Database& base, const Table& tabla, const VisitaFila& visita,
                       QString* error) {
    jet::Result<jet::Table> t = base.table(tabla.name);
    if (!t) {
        *error = QStringLiteral("falta la tabla ") + tabla.qName();
        return false;
    }
    std::vector<int> posicion;
    for (const snapshot::Column& c : tabla.columns) {
        int i = t->columnIndex(c.mergeSpelling().toStdString());
        if (i < 0) i = t->columnIndex(c.name);
        if (i < 0) {
            *error =
                QStringLiteral("la tabla %1 no tiene la columna %2").arg(tabla.qName(), c.qName());
            return false;
        }
        posicion.push_back(i);
    }
    uint32_t leidas = 0;
    Fila fila(tabla.columns.size());
    const jet::Status st = t->forEachRow([&](const jet::Row& r) {
        ++leidas;
        for (size_t k = 0; k < posicion.size(); ++k) {
            const auto v = snapshot::valorColumna(
                tabla.columns[k].type, importer::valorJet(r[static_cast<size_t>(posicion[k])]));
            if (!v) {
                *error = QStringLiteral("%1: el valor de %2 no es del tipo de la columna")
                             .arg(tabla.qName(), tabla.columns[k].qName());
                return false;
            }
            fila[k] = *v;
        }
        visita(tabla, fila);
        fila.assign(tabla.columns.size(), QVariant());
        return true;
    });
    if (!error->isEmpty()) return false;
    if (!st) {
        *error = QStringLiteral("la tabla %1 esta dañada: %2")
                     .arg(tabla.qName(), desdeStd(st.message()));
        return false;
    }
    // A page overwritten with garbage shows only as rows missing from the stored count.
    if (leidas < t->storedRowCount()) {
        *error = QStringLiteral("la tabla %1 esta dañada: se leyeron %2 de sus %3 filas")
                     .arg(tabla.qName())
                     .arg(leidas)
                     .arg(t->storedRowCount());
        return false;
    }
    return true;
}

}  // namespace

bool leerSnapshot(const QString& ruta, const VisitaFila& visita, QString* error) {
    QString motivo;
    jet::Result<jet::Database> base = jet::Database::open(QFile::encodeName(ruta).toStdString());
    if (!base) {
        motivo = desdeStd(base.status().message());
    } else {
        for (const Table& tabla : snapshot::tables())
            if (!leerTablaSnapshot(base.value(), tabla, visita, &motivo)) break;
    }
    if (motivo.isEmpty()) return true;
    if (error) *error = QStringLiteral("snapshot ilegible ") + ruta + QStringLiteral(": ") + motivo;
    return false;
}

bool leerProduccion(db::Connection& cnn, const Table& tabla, const VisitaFila& visita,
                    QString* error) {
    QStringList columnas;
    for (const QString& c : tabla.columnNames()) columnas << u'"' + c + u'"';
    db::Cursor cursor;
    if (!cursor.open(cnn, QStringLiteral("select ") + columnas.join(u',') +
                              QStringLiteral(" from \"") + tabla.qName() + u'"')) {
        if (error) *error = tabla.qName() + QStringLiteral(": ") + cursor.errorText();
        return false;
    }
    Fila fila(tabla.columns.size());
    jet::Value descartado;
    while (cursor.next()) {
        for (size_t k = 0; k < tabla.columns.size(); ++k) {
            const snapshot::Column& c = tabla.columns[k];
            const int i = static_cast<int>(k);
            db::ValorCrudo crudo;
            // The common SQLite values straight from the engine, as the copy reads them.
            if (cursor.crudo(i, crudo) &&
                snapshot::valoresDirectos(c, false, crudo, fila[k], descartado))
                continue;
            const auto v = snapshot::valorColumna(c.type, cursor.value(i));
            if (!v) {
                if (error)
                    *error = QStringLiteral("%1: el valor de %2 no es del tipo de la columna")
                                 .arg(tabla.qName(), c.qName());
                return false;
            }
            fila[k] = *v;
        }
        visita(tabla, fila);
        fila.assign(tabla.columns.size(), QVariant());
    }
    if (cursor.failed()) {
        if (error) *error = tabla.qName() + QStringLiteral(": ") + cursor.errorText();
        return false;
    }
    return true;
}

bool abrirProduccion(db::Connection& cnn, const QString& ruta, QString* error) {
    if (QFileInfo(ruta).isFile() &&
        db::dbAdmin().AbrirBD(
            cnn, db::textoConexionSqlServer(QString(), QString(), ruta, QStringLiteral("sqlite"))))
        return true;
    if (error) *error = QStringLiteral("no se pudo abrir la base ") + ruta;
    return false;
}

}  // namespace lumaro::cadena
