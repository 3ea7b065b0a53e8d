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
    {"Cliente", "FROM cliente WHERE bFlagSincro=0", true, "select cClieCode, IdLocal from Cliente ",
     ">>> Existen clientes actualizados el dia de hoy, pero marcadas como ya sincronizados.",
     kSincronizarlos, kCliente},
    {"Tarjeta", "FROM Tarjeta WHERE bFlagSincro = 0", true,
     "select cClieCode, IdLocal from Tarjeta ",
     ">>> Existen tarjetas actualizadas el dia de hoy, pero marcados como ya sincronizados.",
     kSincronizarlas, ">>> Tarjeta ["},
    {"Cumpleaños", "FROM Cumpleaños WHERE bFlagSincro=0", false, nullptr, nullptr, nullptr,
     nullptr},
    {"Acumulacion_Punto", "FROM Acumulacion_Punto WHERE bFlagSincro = 0", true,
     "select cClieCode, IdLocal from Acumulacion_Punto ",
     ">>> Existen Acumulaciones Punto actualizadas el dia de hoy, pero marcadas como ya "
     "sincronizados.",
     kSincronizarlas, kCliente},
    {"Acumulacion_Ticket", "FROM Acumulacion_Ticket WHERE bFlagSincro=0", true,
     "select cClieCode, IdLocal from Acumulacion_Ticket ",
     ">>> Existen Acumulaciones Ticket actualizadas el dia de hoy, pero marcadas como ya "
     "sincronizados.",
     kSincronizarlas, kCliente},
    {"Canje_Punto", "FROM Canje_Punto WHERE bFlagSincro=0", true,
     "select cClieCode, IdLocal from Canje_Punto ",
     ">>> Existen Canje Punto actualizados el dia de hoy, pero marcados como ya sincronizados.",
     kSincronizarlos, kCliente},
    {"Canje_Ticket", "FROM Canje_Ticket WHERE bFlagSincro=0", true,
     "select cClieCode, IdLocal from Canje_Ticket ",
     ">>> Existen Canje Ticket actualizados el dia de hoy, pero marcados como ya sincronizados.",
     kSincronizarlos, kCliente},
    {"Contactos", "FROM Contactos WHERE bFlagSincro=0", false, nullptr, nullptr, nullptr, nullptr},
    {"registro_canje_cumpleaños", "FROM registro_canje_cumpleaños WHERE bFlagSincro = 0", false,
     "select i_cod_cliente, i_id_local from registro_canje_cumpleaños ",
     ">>> Existen Reg Canje Cumpleaños actualizados el dia de hoy, pero marcados como ya "
     "sincronizados.",
     kSincronizarlos, kCliente},
    {"registro_canje_cumpleaños_d", "FROM registro_canje_cumpleaños_d WHERE bFlagSincro = 0", false,
     nullptr, nullptr, nullptr, nullptr},
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
