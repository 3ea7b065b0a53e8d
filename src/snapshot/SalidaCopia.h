#pragma once
// A side output of the copy of changed rows (the DBF files, the MySQL mirror).
//
// The copy calls every side output it was given, in this order: preparar once, before any
// transaction is begun; then for each table, fila for every row copied into the snapshot (in
// the order selected, after the row's snapshot insert succeeded) and finTabla after the
// table's production rows were marked; last, fin with the outcome of the whole copy.
// A side output reports its own problems in the run log; none of them changes the copy's
// result, except preparar returning false, which ends the copy before anything is written.

#include <QString>

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::snapshot {

class SalidaCopia {
public:
    virtual ~SalidaCopia() = default;
    // nombreSnapshot: the snapshot file name without folder ("3_05122026.mdb").
    virtual bool preparar(const QString& nombreSnapshot) = 0;
    virtual void fila(const Table& tabla, const Fila& fila) = 0;
    virtual void finTabla(const Table& tabla) = 0;
    // confirmada: true when the snapshot and the production marks were committed; false when
    // they were rolled back (a side output then takes back what it can).
    virtual void fin(bool confirmada) = 0;
};

}  // namespace lumaro::snapshot
