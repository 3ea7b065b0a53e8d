#include "snapshot/PlanCopia.h"

#include <QStringList>
#include <array>

namespace lumaro::snapshot {

namespace {

constexpr const char* kSincronizarlos = ">>> De todas maneras se procederá a sincronizarlos.";
constexpr const char* kSincronizarlas = ">>> De todas maneras se procederá a sincronizarlas.";
constexpr const char* kCliente = ">>> Cliente [";

// Register rows are selected by their flag alone: the receiving store inserts them without
// looking for them first, so a row sent again would fail there.
const std::array<PlanCopia, 10> kPlanes{{
    {.tabla = "Cliente",
     .desde = "FROM cliente WHERE bFlagSincro=0",
     .tambienCambiadasHoy = true,
     .avisoConsulta = "select cClieCode, IdLocal from Cliente ",
     .avisoLinea =
         ">>> Existen clientes actualizados el dia de hoy, pero marcadas como ya sincronizados.",
     .avisoSegunda = kSincronizarlos,
     .etiqueta = kCliente},
    {.tabla = "Tarjeta",
     .desde = "FROM Tarjeta WHERE bFlagSincro = 0",
     .tambienCambiadasHoy = true,
     .avisoConsulta = "select cClieCode, IdLocal from Tarjeta ",
     .avisoLinea =
         ">>> Existen tarjetas actualizadas el dia de hoy, pero marcados como ya sincronizados.",
     .avisoSegunda = kSincronizarlas,
     .etiqueta = ">>> Tarjeta ["},
    {.tabla = "Cumpleaños",
     .desde = "FROM Cumpleaños WHERE bFlagSincro=0",
     .tambienCambiadasHoy = false},
    {.tabla = "Acumulacion_Punto",
     .desde = "FROM Acumulacion_Punto WHERE bFlagSincro = 0",
     .tambienCambiadasHoy = true,
     .avisoConsulta = "select cClieCode, IdLocal from Acumulacion_Punto ",
     .avisoLinea = ">>> Existen Acumulaciones Punto actualizadas el dia de hoy, pero marcadas "
                   "como ya sincronizados.",
     .avisoSegunda = kSincronizarlas,
     .etiqueta = kCliente},
    {.tabla = "Acumulacion_Ticket",
     .desde = "FROM Acumulacion_Ticket WHERE bFlagSincro=0",
     .tambienCambiadasHoy = true,
     .avisoConsulta = "select cClieCode, IdLocal from Acumulacion_Ticket ",
     .avisoLinea = ">>> Existen Acumulaciones Ticket actualizadas el dia de hoy, pero marcadas "
                   "como ya sincronizados.",
     .avisoSegunda = kSincronizarlas,
     .etiqueta = kCliente},
    {.tabla = "Canje_Punto",
     .desde = "FROM Canje_Punto WHERE bFlagSincro=0",
     .tambienCambiadasHoy = true,
     .avisoConsulta = "select cClieCode, IdLocal from Canje_Punto ",
     .avisoLinea =
         ">>> Existen Canje Punto actualizados el dia de hoy, pero marcados como ya sincronizados.",
     .avisoSegunda = kSincronizarlos,
     .etiqueta = kCliente},
    {.tabla = "Canje_Ticket",
     .desde = "FROM Canje_Ticket WHERE bFlagSincro=0",
     .tambienCambiadasHoy = true,
     .avisoConsulta = "select cClieCode, IdLocal from Canje_Ticket ",
     .avisoLinea = ">>> Existen Canje Ticket actualizados el dia de hoy, pero marcados como ya "
                   "sincronizados.",
     .avisoSegunda = kSincronizarlos,
     .etiqueta = kCliente},
    {.tabla = "Contactos",
     .desde = "FROM Contactos WHERE bFlagSincro=0",
     .tambienCambiadasHoy = false},
    {.tabla = "registro_canje_cumpleaños",
     .desde = "FROM registro_canje_cumpleaños WHERE bFlagSincro = 0",
     .tambienCambiadasHoy = false,
     .avisoConsulta = "select i_cod_cliente, i_id_local from registro_canje_cumpleaños ",
     .avisoLinea = ">>> Existen Reg Canje Cumpleaños actualizados el dia de hoy, pero marcados "
                   "como ya sincronizados.",
     .avisoSegunda = kSincronizarlos,
     .etiqueta = kCliente},
    {.tabla = "registro_canje_cumpleaños_d",
     .desde = "FROM registro_canje_cumpleaños_d WHERE bFlagSincro = 0",
     .tambienCambiadasHoy = false},
}};

}  // namespace

std::span<const PlanCopia> planesCopia() { return kPlanes; }

const PlanCopia& planCopia(const Table& table) {
    for (const PlanCopia& p : kPlanes)
        if (findTable(QString::fromUtf8(p.tabla)) == &table) return p;
    return kPlanes.front();  // every table of the data model has its plan
}

QString condicionDelDia(const QString& columna, const QDate& dia) {
    return QStringLiteral("year(%1)=%2 and month(%1)=%3 and day(%1)=%4")
        .arg(columna)
        .arg(dia.year())
        .arg(dia.month())
        .arg(dia.day());
}

namespace {

constexpr QLatin1StringView kWhere(" WHERE ");

}  // namespace

QString condicionSeleccion(const Table& table, const QDate& dia) {
    const PlanCopia& plan = planCopia(table);
    const QString desde = QString::fromUtf8(plan.desde);
    QString condicion = desde.mid(desde.indexOf(kWhere) + kWhere.size());
    if (plan.tambienCambiadasHoy && table.hasChangeDate())
        condicion += QStringLiteral(" or (") +
                     condicionDelDia(QString::fromUtf8(table.changeDate), dia) + u')';
    return condicion;
}

QString sentenciaSeleccion(const Table& table, const QDate& dia) {
    const QString desde = QString::fromUtf8(planCopia(table).desde);
    return QStringLiteral("SELECT ") + table.columnsWithoutFlag().join(QStringLiteral(", ")) +
           u' ' + desde.left(desde.indexOf(kWhere) + kWhere.size()) +
           condicionSeleccion(table, dia);
}

QString sentenciaAviso(const Table& table, const QDate& dia) {
    const PlanCopia& plan = planCopia(table);
    if (!plan.avisoConsulta || !table.hasChangeDate()) return QString();
    return QString::fromUtf8(plan.avisoConsulta) + QStringLiteral("where ") +
           condicionDelDia(QString::fromUtf8(table.changeDate), dia) +
           QStringLiteral(" and bFlagSincro=1");
}

}  // namespace lumaro::snapshot
