#pragma once
// The rows of each store as every other store must hold them: the store's sent snapshots
// folded in the order they were sent, per table and key, under the table's merge rule.
//
//   Sobrescribir  the later version replaces the held one
//   PorFecha      the later version replaces the held one when it is a reversal (reversal
//                 date not null) or its change date is strictly later (whole seconds)
//   SoloInsertar  the first version stays
//
// Values are compared in the form of snapshot::Fila; the flag is left out (cleared), and the
// client's VIP mark counts a null as 0, as the merges write it.

#include <QHash>
#include <QString>
#include <optional>
#include <vector>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::cadena {

// A held row: its values, the index of its owning store among the checked ones, and the last
// store that was found holding it (for the missing-row pass).
struct FilaEsperada {
    snapshot::Fila fila;
    int duenio = -1;
    int vistaPor = -1;
};

// A row's key as a text: the key columns' values joined, null distinct from any text.
QString textoClave(const snapshot::Table& tabla, const snapshot::Fila& fila);
// The owning store of a row (the table's owningStore column); nullopt when null.
std::optional<qlonglong> duenioDeFila(const snapshot::Table& tabla, const snapshot::Fila& fila);
// Brings a row into the compared form: flag cleared, a null VIP mark as 0.
void normalizar(const snapshot::Table& tabla, snapshot::Fila& fila);

class EstadoEsperado {
public:
    EstadoEsperado();
    // Folds one row sent by store `duenio` into the state (the row must be normalised).
    void aplicar(const snapshot::Table& tabla, snapshot::Fila& fila, int duenio);
    // The rows of a table by key text.
    QHash<QString, FilaEsperada>& filas(const snapshot::Table& tabla);

private:
    std::vector<QHash<QString, FilaEsperada>> m_tablas;  // in the data model's order
};

// The position of a table in the data model's order.
size_t indiceTabla(const snapshot::Table& tabla);

}  // namespace lumaro::cadena
