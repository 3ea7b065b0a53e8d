#pragma once
// The MySQL mirror as the merges feed it. The mirror lives with the side outputs; the import
// run is handed one by whoever wires the program together, and feeds it every merged row of
// the mirrored tables (Cliente, Tarjeta, Acumulacion_Punto, Canje_Punto).

#include "snapshot/DataModel.h"
#include "snapshot/Fila.h"

namespace lumaro::snapshot {

class EspejoFusion {
public:
    virtual ~EspejoFusion() = default;
    // Whether merged rows go to the mirror at all (this store feeds it); asked once per
    // merged table.
    virtual bool activo() = 0;
    // A row merged into production: insertada true when production got an insert, false when
    // an existing row was overwritten. Mirror errors are logged by the mirror and never
    // change the merge's result.
    virtual void filaFusionada(const Table& tabla, const Fila& fila, bool insertada) = 0;
    // The merge is about to commit a batch to production: what the mirror holds open is
    // committed first, so that the mirror never lacks a row production has (after a crash
    // such a row would be skipped by the next merge and never reach the mirror).
    virtual void confirmarLote() {}
};

}  // namespace lumaro::snapshot
