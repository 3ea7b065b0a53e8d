#pragma once
// The values of one copied row: the row as Fila.h holds it and the snapshot's value of each
// column. The common cases of the embedded engine (whole numbers, texts, dates in their stored
// form) are converted straight from SQLite's own value, each date split into its parts once;
// everything else goes through valorColumna, with the same result.

#include <QVariant>

#include "db/SqliteDirecto.h"
#include "jet/JetTypes.h"
#include "snapshot/DataModel.h"

namespace lumaro::snapshot {

// True for the client's VIP mark, which travels as 0 or 1.
bool esColumnaVip(const Column& c);

// The snapshot's value of a column from its row value (in the form of Fila.h): text with every
// quote as a blank, the VIP mark as 0 or 1, the flag false (the receiving store marks what it
// merged).
jet::Value valorSnapshot(const Column& c, bool vip, const QVariant& v);

// Both values of a column straight from SQLite's value; false, having changed nothing, when
// the value is not one of the common cases (the caller then reads it through valorColumna).
bool valoresDirectos(const Column& c, bool vip, const db::ValorCrudo& crudo, QVariant& fila,
                     jet::Value& snapshot);

}  // namespace lumaro::snapshot
