#pragma once
// The four mirrored tables as the copy and the merges write them into the MySQL mirror: one
// statement builder driven by per-table data (column order, spellings, flag, date forms).

#include <QString>
#include <vector>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::outputs {

struct TablaEspejo {
    const snapshot::Table* tabla;
    QString nombreInsert;             // spelling in the insert ("Cliente")
    QString nombreUpdate;             // spelling in the update ("canje_punto")
    std::vector<int> columnasInsert;  // the mirror's columns in insert order, flag left out
    QString separador;                // between the insert's column names
    bool marcaEnCopia;                // the copy's row statements write bFlagSincro 0
    int fechaConHora;                 // date column whose copy form keeps the time; -1 if none
    bool registra;                    // log lines around its check and statements
    QString marcado;                  // run on the mirror after the copy of the table
};

// The mirror data of the four mirrored tables, one entry each.
const std::vector<TablaEspejo>& tablasEspejo();
// The mirror data of a table; nullptr for a table that is not mirrored.
const TablaEspejo* tablaEspejo(const snapshot::Table& tabla);

// Who writes: the copy (dates without time, flag as the copy leaves it) or a merge (dates with
// time, bFlagSincro 1, as the merge statements write production).
enum class Origen { Copia, Fusion };

// The mirror insert and update of a row in the row form of snapshot::Fila. The update sets
// every inserted column but the key and is restricted to the row's key.
QString sentenciaInsert(const TablaEspejo& t, const snapshot::Fila& fila, Origen origen);
QString sentenciaUpdate(const TablaEspejo& t, const snapshot::Fila& fila, Origen origen);
// The rows in one statement: the insert of all of them, where a row whose key the mirror holds
// already (or an earlier row of the statement wrote) sets what sentenciaUpdate would, every row
// with bFlagSincro 1 (a copied table's marking statement follows its rows). It gives
// the result of the rows' inserts and updates in order only on a table whose one unique key is
// the row key (claveUnicaEnEspejo).
QString sentenciaBloque(const TablaEspejo& t, const std::vector<const snapshot::Fila*>& filas,
                        Origen origen);

// A key value as the mirror's conditions write it: a bare number, or a quoted text.
void agregarClave(QString& out, const snapshot::Column& columna, const QVariant& valor);

}  // namespace lumaro::outputs
