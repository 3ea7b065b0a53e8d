#pragma once
// Rows on data pages (FORMAT.md "Data pages"): the row-offset table, row bounds and flags.

#include <cstdint>

#include "jet/JetTypes.h"
#include "jet/Page.h"

namespace lumaro::jet {

class PageSource;

struct RowSlot {
    uint16_t start = 0;  // first byte of the row on the page
    uint16_t end = 0;    // one past its last byte
    uint16_t raw = 0;    // the stored offset with its flags
    bool deleted() const;
    bool overflow() const;
    uint16_t length() const { return static_cast<uint16_t>(end - start); }
};

// Number of rows on a data page, checked against the room for the offset table.
Result<uint16_t> dataPageRowCount(const Page& page);

// Bounds of one row. Rows are packed from the end of the page down: a row ends where the row
// before it in the table starts. Deleted rows are returned unchecked (their bounds are unused).
Result<RowSlot> dataPageRow(const Page& page, uint16_t rowCount, uint16_t row);

// A data page that holds the row at `pointer` (FORMAT.md "Row pointers"), and its bounds.
struct RowRef {
    Page page;
    RowSlot slot;
    uint16_t row = 0;
};
Result<RowRef> findRow(const PageSource& source, uint32_t page, uint16_t row);

}  // namespace lumaro::jet
