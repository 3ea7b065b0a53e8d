#pragma once
// Builders of the pages the writer produces (FORMAT-writing.md "Data pages", "Usage maps",
// "Index leaf pages"): each fills one 4096-byte page.

#include <array>
#include <cstdint>
#include <vector>

#include "jet/JetFormat.h"
#include "jet/JetTypes.h"

namespace lumaro::jet {

using PageBytes = std::array<uint8_t, format::kPageSize>;

// A data page being filled with rows from the end of the page downwards.
class DataPageBuilder {
public:
    explicit DataPageBuilder(uint32_t owner = 0) { reset(owner); }
    void reset(uint32_t owner);

    // True when a row of `length` bytes (and its offset slot) still fits.
    bool fits(std::size_t length) const {
        return m_rows < format::kMaxRowsPerPage && length + 2 <= freeSpace();
    }
    // Adds a row that fits; returns its row number.
    uint16_t add(const uint8_t* row, std::size_t length);

    std::size_t freeSpace() const { return m_top - (14 + 2 * m_rows); }
    uint16_t rowCount() const { return m_rows; }
    bool empty() const { return m_rows == 0; }
    const PageBytes& bytes() const { return m_page; }

private:
    PageBytes m_page{};
    uint16_t m_rows = 0;
    std::size_t m_top = format::kPageSize;
};

// The 69-byte row of an inline usage map covering 512 pages from `start` (a multiple of 8).
// Every page of `pages` must lie in that window.
std::vector<uint8_t> inlineMapRow(uint32_t start, const std::vector<uint32_t>& pages);
// The window start an inline map would use for these pages, or false when they do not fit in
// one window.
bool inlineMapStart(const std::vector<uint32_t>& pages, uint32_t& start);
// The 69-byte row of a reference usage map naming its 0x05 pages (0 where none is needed).
std::vector<uint8_t> referenceMapRow(const std::vector<uint32_t>& mapPages);
// How many 0x05 pages a reference map row can name, and the pages one 0x05 page covers.
inline constexpr std::size_t kReferenceMapSlots = (format::kMapInlineRowSize - 1) / 4;
// The 0x05 page with slot `index` of a reference map: bits set for `pages` within its range.
PageBytes referenceMapPage(uint32_t index, const std::vector<uint32_t>& pages);

// One entry of an index leaf: the key bytes and the row it points to.
struct LeafEntry {
    std::vector<uint8_t> key;
    uint32_t page = 0;
    uint8_t row = 0;
    bool operator<(const LeafEntry& o) const;
};

// A single index leaf page (the root of a small index) holding `entries` in key order.
// Fails when they do not fit in one page.
Result<PageBytes> buildLeafPage(uint32_t tdefPage, std::vector<LeafEntry> entries);

}  // namespace lumaro::jet
