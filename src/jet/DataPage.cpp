#include "jet/DataPage.h"

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/PageSource.h"

namespace lumaro::jet {

using namespace format;

bool RowSlot::deleted() const { return (raw & kRowDeletedFlag) != 0; }
bool RowSlot::overflow() const { return (raw & kRowOverflowFlag) != 0; }

Result<uint16_t> dataPageRowCount(const Page& page) {
    const uint8_t* p = page.data();
    if (p[0] != kPageData) {
        return Status::corruption(where(page.number) + "expected a data page, found page type " +
                                  std::to_string(p[0]));
    }
    const uint16_t count = getU16(p + kDataRowCountOffset);
    if (kDataRowTableOffset + 2u * count > kPageSize) {
        return Status::corruption(where(page.number) + "row count " + std::to_string(count) +
                                  " does not fit the page");
    }
    return count;
}

Result<RowSlot> dataPageRow(const Page& page, uint16_t rowCount, uint16_t row) {
    const uint8_t* p = page.data();
    if (row >= rowCount) {
        return Status::corruption(where(page.number, row) + "no such row (the page holds " +
                                  std::to_string(rowCount) + ")");
    }
    RowSlot slot;
    slot.raw = getU16(p + kDataRowTableOffset + 2u * row);
    slot.start = slot.raw & kRowOffsetMask;
    slot.end = row == 0 ? static_cast<uint16_t>(kPageSize)
                        : getU16(p + kDataRowTableOffset + 2u * (row - 1)) & kRowOffsetMask;
    if (slot.deleted()) return slot;
    const std::size_t tableEnd = kDataRowTableOffset + 2u * rowCount;
    if (slot.start < tableEnd || slot.end > kPageSize || slot.start > slot.end) {
        return Status::corruption(where(page.number, row) + "row offset " +
                                  std::to_string(slot.start) + ".." + std::to_string(slot.end) +
                                  " outside the row area " + std::to_string(tableEnd) + "..4096");
    }
    return slot;
}

Result<RowRef> findRow(const PageSource& source, uint32_t pageNumber, uint16_t row) {
    Result<Page> page = source.page(pageNumber);
    if (!page) return page.status();
    Result<uint16_t> count = dataPageRowCount(page.value());
    if (!count) return count.status();
    Result<RowSlot> slot = dataPageRow(page.value(), count.value(), row);
    if (!slot) return slot.status();
    RowSlot s = slot.value();
    if (s.deleted()) {
        // A referenced row may carry the deleted flag (a moved row's new home); its bounds
        // still have to hold.
        if (s.start < kDataRowTableOffset + 2u * count.value() || s.start > s.end ||
            s.end > kPageSize) {
            return Status::corruption(where(pageNumber, row) + "row offset " +
                                      std::to_string(s.start) + ".." + std::to_string(s.end) +
                                      " outside the page");
        }
    }
    return RowRef{page.value(), s, row};
}

}  // namespace lumaro::jet
