#include "cadena/Espejo.h"

#include <QDateTime>
#include <QHash>

#include "cadena/EstadoEsperado.h"
#include "cadena/LecturaFilas.h"
#include "db/ConnectionText.h"
#include "db/Cursor.h"
#include "db/clsDBAdmin.h"
#include "snapshot/ValoresCopia.h"

namespace lumaro::cadena {

namespace {

using snapshot::Fila;
using snapshot::Table;

void sinComillas(Fila& fila) {
    for (QVariant& v : fila)
        if (v.metaType().id() == QMetaType::QString) v = v.toString().replace(u'\'', u' ');
}

// The mirror's rows of a table; columns the mirror lacks stay null and are marked in
// presentes.
bool leerEspejo(db::Connection& cnn, const Table& tabla, std::vector<bool>& presentes,
                const std::function<void(Fila&)>& visita, QString* error) {
    db::Cursor cursor;
    if (!cursor.open(cnn, QStringLiteral("select * from ") + tabla.qName())) {
        if (error) *error = QStringLiteral("espejo, ") + tabla.qName() + u' ' + cursor.errorText();
        return false;
    }
    std::vector<int> posicion;
    presentes.clear();
    for (const snapshot::Column& c : tabla.columns) {
        posicion.push_back(cursor.fieldIndex(c.qName()));
        presentes.push_back(posicion.back() >= 0 && !snapshot::esColumnaVip(c));
    }
    while (cursor.next()) {
        Fila fila(tabla.columns.size());
        for (size_t k = 0; k < fila.size(); ++k) {
            if (posicion[k] < 0) continue;
            const auto v = snapshot::valorColumna(tabla.columns[k].type, cursor.value(posicion[k]));
            if (!v) {
                if (error)
                    *error =
                        QStringLiteral("espejo, %1: el valor de %2 no es del tipo de la columna")
                            .arg(tabla.qName(), tabla.columns[k].qName());
                return false;
            }
            fila[k] = *v;
        }
        visita(fila);
    }
    if (cursor.failed() && error) *error = QStringLiteral("espejo, ") + cursor.errorText();
    return !cursor.failed();
}

bool compararTabla(db::Connection& produccion, db::Connection& espejo, const Table& tabla,
                   const Tienda& principal, Informe& informe, qlonglong& filas, QString* error) {
    QHash<QString, Fila> esperadas;
    if (!leerProduccion(
            produccion, tabla,
            [&](const Table& t, Fila& f) {
                normalizar(t, f);
                sinComillas(f);
                esperadas.insert(textoClave(t, f), std::move(f));
            },
            error))
        return false;
    std::vector<bool> presentes;
    bool propia = false;  // the row compared is the principal store's own
    const Informe::Igualdad iguales = [&](size_t i, const QVariant& e, const QVariant& f) {
        if (!presentes[i] || e == f) return true;
        return propia && tabla.columns[i].type == snapshot::ColumnType::DateTime && !e.isNull() &&
               !f.isNull() && f.toDateTime().time() == QTime(0, 0) &&
               f.toDateTime().date() == e.toDateTime().date();
    };
    informe.grupo(QStringLiteral("espejo, ") + tabla.qName());
    const bool ok = leerEspejo(
        espejo, tabla, presentes,
        [&](Fila& f) {
            normalizar(tabla, f);
            sinComillas(f);
            ++filas;
            const auto it = esperadas.find(textoClave(tabla, f));
            if (it == esperadas.end()) return informe.sobra(tabla, f);
            propia = duenioDeFila(tabla, f) == principal.id;
            informe.comparar(tabla, *it, f, iguales);
            esperadas.erase(it);
        },
        error);
    for (const Fila& f : std::as_const(esperadas)) {
        ++filas;
        informe.falta(tabla, f);
    }
    informe.cerrarGrupo();
    return ok;
}

}  // namespace

std::optional<DatosEspejo> leerDatosEspejo(const QString& texto) {
    const QStringList p = texto.split(u':');
    if (p.size() < 5 || p[0].isEmpty() || p.last().isEmpty()) return std::nullopt;
    bool ok = false;
    const int puerto = p[1].toInt(&ok);
    if (!ok || puerto <= 0 || puerto > 65535) return std::nullopt;
    return DatosEspejo{p[0], p[1], p[2], p.mid(3, p.size() - 4).join(u':'), p.last()};
}

bool verificarEspejo(const DatosEspejo& e, const Tienda& principal, Informe& informe,
                     qlonglong& filas, QString* error) {
    db::Connection cliente, espejo;
    if (!abrirProduccion(cliente, principal.cliente, error)) return false;
    if (!db::dbAdmin().AbrirBD(
            espejo, db::textoConexionMySql(e.host + u':' + e.puerto, e.base, e.usuario, e.clave))) {
        if (error)
            *error = QStringLiteral("no se pudo conectar al espejo %1:%2 base %3")
                         .arg(e.host, e.puerto, e.base);
        return false;
    }
    for (const Table& t : snapshot::tables())
        if (t.mirrored && !compararTabla(cliente, espejo, t, principal, informe, filas, error))
            return false;
    return true;
}

}  // namespace lumaro::cadena
