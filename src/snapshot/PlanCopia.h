#pragma once
// What the copy of changed rows does differently per table: the texts of its selection and of
// its warning about rows changed today that are already marked sent. Everything else (columns,
// keys, source database, change date) comes from the data model.

#include <QDate>
#include <QString>
#include <span>

#include "snapshot/DataModel.h"

namespace lumaro::snapshot {

struct PlanCopia {
    const char* tabla;
    // The selection after its column list, up to the flag test: "FROM cliente WHERE
    // bFlagSincro=0".
    const char* desde;
    // The selection also takes the rows whose change date is the snapshot's day.
    bool tambienCambiadasHoy;
    // The warning check up to its date test ("select cClieCode, IdLocal from Cliente "), the
    // two warning lines and the label of each listed row; nullptr for tables without one.
    const char* avisoConsulta = nullptr;
    const char* avisoLinea = nullptr;
    const char* avisoSegunda = nullptr;
    const char* etiqueta = nullptr;
};

// The plans of the ten tables, one each.
std::span<const PlanCopia> planesCopia();
// The plan of a table of the data model.
const PlanCopia& planCopia(const Table& table);

// "year(d)=2026 and month(d)=12 and day(d)=5": a change date on a day, without leading zeros.
QString condicionDelDia(const QString& columna, const QDate& dia);
// What the selection of a table for the snapshot of that day takes, after its WHERE.
QString condicionSeleccion(const Table& table, const QDate& dia);
// The selection of a table for the snapshot of that day.
QString sentenciaSeleccion(const Table& table, const QDate& dia);
// The warning check of a table; empty for tables without one.
QString sentenciaAviso(const Table& table, const QDate& dia);

}  // namespace lumaro::snapshot
