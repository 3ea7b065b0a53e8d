#pragma once
// The ten snapshot tables as Jet definitions, from the data model, as the copy writes them.

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
