#include "outputs/ModMySql.h"

#include <QStringList>

#include "config/Settings.h"
#include "db/Conexiones.h"
#include "db/Recordset.h"
#include "outputs/DatosEspejo.h"

namespace lumaro::outputs {

namespace {

using snapshot::Fila;

// A row holding only its key values, for the named checks.
Existencia porClave(const char* tabla, const QVariantList& claves) {
    const snapshot::Table& t = *snapshot::findTable(QString::fromUtf8(tabla));
    Fila fila(t.columns.size());
    qsizetype k = 0;
    for (size_t i = 0; i < t.columns.size() && k < claves.size(); ++i)
        if (t.columns[i].key) fila[i] = claves[k++];
    return existeEnEspejo(t, fila);
}

// "c1=<v1> and c2=<v2>...": the row's key columns and values.
QString condicionClave(const snapshot::Table& tabla, const Fila& fila) {
    QString out;
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        const snapshot::Column& c = tabla.columns[i];
        if (!c.key) continue;
        if (!out.isEmpty()) out += QStringLiteral(" and ");
        out += c.qName() + u'=';
        agregarClave(out, c, fila[i]);
    }
    return out;
}

// Runs a check's query; the table whose check logs logs it before and after.
bool consultar(const snapshot::Table& tabla, const QString& sql, db::Recordset& rs) {
    const TablaEspejo* t = tablaEspejo(tabla);
    const bool registra = t && t->registra;
    const QString procedimiento = QStringLiteral("Existe%1MySQL").arg(tabla.qName().remove(u'_'));
    if (registra) config::EscribirLog(procedimiento + QStringLiteral(": sSQL: ") + sql);
    if (!rs.open(db::cnnMySql(), sql)) return false;
    if (registra) config::EscribirLog(procedimiento + QStringLiteral(": Consulta OK"));
    return true;
}

}  // namespace

Existencia existeEnEspejo(const snapshot::Table& tabla, const Fila& fila) {
    db::Recordset rs;
    if (!consultar(tabla,
                   QStringLiteral("select * from ") + tabla.qName() + QStringLiteral(" where ") +
                       condicionClave(tabla, fila),
                   rs))
        return {Existencia::Estado::Error, rs.errorText()};
    return {rs.recordCount() > 0 ? Existencia::Estado::Existe : Existencia::Estado::Falta, {}};
}

QString textoClave(const snapshot::Table& tabla, const Fila& fila) {
    QString out;
    for (size_t i = 0; i < tabla.columns.size(); ++i)
        if (tabla.columns[i].key) {
            agregarClave(out, tabla.columns[i], fila[i]);
            out += u'|';
        }
    return out;
}

std::optional<QSet<QString>> existentesEnEspejo(const snapshot::Table& tabla,
                                                const std::vector<const Fila*>& filas) {
    QString columnas, condicion;
    std::vector<int> claves;
    for (size_t i = 0; i < tabla.columns.size(); ++i)
        if (tabla.columns[i].key) {
            columnas +=
                (claves.empty() ? QString() : QStringLiteral(",")) + tabla.columns[i].qName();
            claves.push_back(static_cast<int>(i));
        }
    for (const Fila* f : filas)
        condicion += (condicion.isEmpty() ? QStringLiteral("(") : QStringLiteral(" or (")) +
                     condicionClave(tabla, *f) + u')';
    db::Recordset rs;
    if (!consultar(tabla,
                   QStringLiteral("select ") + columnas + QStringLiteral(" from ") + tabla.qName() +
                       QStringLiteral(" where ") + condicion,
                   rs))
        return std::nullopt;
    QSet<QString> out;
    Fila clave(tabla.columns.size());
    for (; !rs.eof(); rs.moveNext()) {
        for (size_t k = 0; k < claves.size(); ++k)
            clave[static_cast<size_t>(claves[k])] = rs.value(static_cast<int>(k));
        out.insert(textoClave(tabla, clave));
    }
    return out;
}

std::optional<bool> claveUnicaEnEspejo(const snapshot::Table& tabla) {
    QStringList clave;
    for (const snapshot::Column& c : tabla.columns)
        if (c.key) clave << c.qName().toLower();
    clave.sort();
    db::Recordset rs;
    if (!rs.open(db::cnnMySql(),
                 QStringLiteral("select group_concat(lower(column_name)) from "
                                "information_schema.statistics where table_schema=database() and "
                                "lower(table_name)='%1' and non_unique=0 group by index_name")
                     .arg(tabla.qName().toLower())))
        return std::nullopt;
    if (rs.recordCount() != 1) return false;
    QStringList columnas = rs.value(0).toString().split(u',');
    columnas.sort();
    return columnas == clave;
}

Existencia ExisteClienteMySQL(qint64 cClieCode, int IdLocal) {
    return porClave("Cliente", {cClieCode, qlonglong{IdLocal}});
}

Existencia ExisteTarjetaMySQL(qint64 cClieCode, const QString& nTarjNumb, int IdLocal) {
    return porClave("Tarjeta", {cClieCode, nTarjNumb, qlonglong{IdLocal}});
}

Existencia ExisteAcumulacionPuntoMySQL(qint64 cClieCode, qint64 cAcumCode, int IdLocal) {
    return porClave("Acumulacion_Punto", {cClieCode, cAcumCode, qlonglong{IdLocal}});
}

Existencia ExisteCanjePuntoMySQL(qint64 cClieCode, qint64 cCanjCode, int IdLocal) {
    return porClave("Canje_Punto", {cClieCode, cCanjCode, qlonglong{IdLocal}});
}

}  // namespace lumaro::outputs
