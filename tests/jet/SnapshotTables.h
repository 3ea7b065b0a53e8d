#pragma once
// The ten tables of a loyalty snapshot as Jet table definitions, taken from the data model so
// that the writer tests and the benchmark write exactly what the copy writes.

#include <vector>

#include "jet/JetTypes.h"
#include "snapshot/DataModel.h"

namespace lumaro::jet::testing {

inline std::vector<TableDef> snapshotTables() {
    std::vector<TableDef> defs;
    for (const snapshot::Table& t : snapshot::tables()) defs.push_back(snapshot::jetTableDef(t));
    return defs;
}

}  // namespace lumaro::jet::testing
