#pragma once
// Structural consistency of a Jet 4.0 database (FORMAT-writing.md "Consistency"): every table's
// stored row count against a scan of its rows, its usage maps against the pages they list and
// the pages that claim the table, and the MSysObjects index entries against the catalog rows.

#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

// Checks the file at `path`. Returns the problems found, one sentence each (empty when the
// file is consistent), or the Status of a file that cannot be read at all.
Result<std::vector<std::string>> checkDatabase(const std::string& path);

}  // namespace lumaro::jet
