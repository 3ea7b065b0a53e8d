#pragma once
// Table definitions (FORMAT.md "Table definition (TDEF)"): the parsed header and columns of a
// table, with what the row decoder needs to read its rows.

#include <cstdint>
#include <string>
#include <vector>

#include "jet/Reader.h"

namespace lumaro::jet {

class PageSource;

struct Table::Data {
    std::string name;
    uint32_t tdefPage = 0;
    bool system = false;
    uint32_t rowCount = 0;
    uint32_t ownedPagesPointer = 0;
    uint32_t freePagesPointer = 0;
    uint16_t maxColumns = 0;
    uint16_t varColumns = 0;  // as the header counts them
    uint32_t logicalIndexes = 0;
    uint32_t realIndexes = 0;
    std::vector<Column> columns;      // column-number order
    std::vector<std::string> folded;  // case-folded column names, same order
    bool hasVariableColumns = false;  // rows carry a variable-offset table
};

// Reads the definition chain starting at `tdefPage` (cycle-checked) and parses it. The names of
// columns are decoded; `required` is left false (it comes from the catalog's properties).
Status readTableDefinition(const PageSource& source, uint32_t tdefPage, Table::Data& out);

// Marks the columns named in a properties blob as required (FORMAT.md "Properties (LvProp)").
Status applyProperties(const Bytes& lvProp, Table::Data& table);

}  // namespace lumaro::jet
