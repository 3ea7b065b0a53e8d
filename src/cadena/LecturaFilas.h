#pragma once
// The rows a chain check compares, read in the form of snapshot::Fila: a store's sent
// snapshots (Jet files, through our reader) and its embedded production databases.

#include <QString>
#include <functional>

#include "db/Connection.h"
#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::cadena {

// Receives one row; the row may be moved from.
using VisitaFila = std::function<void(const snapshot::Table&, snapshot::Fila&)>;

// Reads every row of the ten tables of the snapshot at ruta, table by table in the data
// model's order, after the checks the import makes before a merge. False with a message naming the file and what is wrong
// (not a Jet file, a table or column missing, a damaged page, a value not of its column's
// kind); the rows before the fault have been visited.
bool leerSnapshot(const QString& ruta, const VisitaFila& visita, QString* error);

// Reads every row of a production table on an open connection, streaming. False with the
// reason in error.
bool leerProduccion(db::Connection& cnn, const snapshot::Table& tabla, const VisitaFila& visita,
                    QString* error);

// Opens an embedded (SQLite) production database; false with the reason in error.
bool abrirProduccion(db::Connection& cnn, const QString& ruta, QString* error);

}  // namespace lumaro::cadena
