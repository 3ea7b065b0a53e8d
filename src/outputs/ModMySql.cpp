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

}  // namespace

Existencia existeEnEspejo(const snapshot::Table& tabla, const Fila& fila) {
    QString sql = QStringLiteral("select * from ") + tabla.qName();
    bool primera = true;
    for (size_t i = 0; i < tabla.columns.size(); ++i) {
        const snapshot::Column& c = tabla.columns[i];
        if (!c.key) continue;
        sql += (primera ? QStringLiteral(" where ") : QStringLiteral(" and ")) + c.qName() + u'=';
        agregarClave(sql, c, fila[i]);
        primera = false;
    }
    const TablaEspejo* t = tablaEspejo(tabla);
    const bool registra = t && t->registra;
    const QString procedimiento = QStringLiteral("Existe%1MySQL").arg(tabla.qName().remove(u'_'));
    if (registra) config::EscribirLog(procedimiento + QStringLiteral(": sSQL: ") + sql);
    db::Recordset rs;
    if (!rs.open(db::cnnMySql(), sql)) return {Existencia::Estado::Error, rs.errorText()};
    if (registra) config::EscribirLog(procedimiento + QStringLiteral(": Consulta OK"));
    return {rs.recordCount() > 0 ? Existencia::Estado::Existe : Existencia::Estado::Falta, {}};
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
                                "table_name='%1' and non_unique=0 group by index_name")
                     .arg(tabla.qName())))
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
