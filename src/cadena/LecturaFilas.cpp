#include "cadena/LecturaFilas.h"

#include <QFileInfo>

#include "db/ConnectionText.h"
#include "db/Cursor.h"
#include "db/clsDBAdmin.h"
#include "importer/ConexionSnapshot.h"
#include "snapshot/ValoresCopia.h"

namespace lumaro::cadena {

using snapshot::Fila;
using snapshot::Table;

bool leerSnapshot(const QString& ruta, const VisitaFila& visita, QString* error) {
    // The importer's snapshot connection, read-only: the same checks of tables, columns and
    // damaged pages as before a merge.
    importer::ConexionSnapshot archivo;
    const config::Status abierto = archivo.abrir(ruta, /*soloLectura=*/true);
    QString motivo = abierto.cause();
    if (abierto) {
        for (const Table& tabla : snapshot::tables()) {
            const bool leida = archivo.recorrer(
                tabla,
                [&](const importer::FilaEntrante& e) {
                    if (!e.columnaInvalida.isEmpty()) {
                        motivo = QStringLiteral("%1: el valor de %2 no es del tipo de la columna")
                                     .arg(tabla.qName(), e.columnaInvalida);
                        return false;
                    }
                    Fila fila = e.fila;
                    visita(tabla, fila);
                    return true;
                },
                &motivo);
            if (!leida || !motivo.isEmpty()) break;
        }
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
