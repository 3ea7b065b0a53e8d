#pragma once
// One row of a synchronised table as the copy, the merges and the side outputs hand it
// around: one value per column of the data model, in the table's column order.
//
//   Integer   qlonglong
//   Text      QString
//   DateTime  QDateTime at whole seconds, in UTC: the wall-clock reading as stored, never
//             shifted by a time zone
//   Flag      bool
//   NULL      a null QVariant (QVariant())
//
// Every value is brought into this form by valorColumna before it is used, whatever the
// engine that produced it (SQLite texts, ODBC numbers, a snapshot's Jet values), so that a
// value of the wrong kind is refused in one place and never reaches a statement.

#include <QVariant>
#include <optional>
#include <vector>

#include "snapshot/DataModel.h"

namespace lumaro::snapshot {

using Fila = std::vector<QVariant>;

// The value in the form above for a column of that type; nullopt when it is not of the kind
// (a text that is not a whole number in an Integer column, a text that is not a date in a
// DateTime column). A null stays null.
std::optional<QVariant> valorColumna(ColumnType type, const QVariant& raw);

// The position of a column in the table's column order; -1 when the table has no such column
// (any case, either spelling).
int indiceColumna(const Table& table, QStringView columnName);

// A row named by its table and key values for log lines: "Cliente cClieCode=57 IdLocal=3".
QString describirClave(const Table& table, const Fila& fila);

}  // namespace lumaro::snapshot
