#include "jet/PageBuilders.h"

#include <algorithm>
#include <cstring>

#include "jet/Coding.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {
constexpr std::size_t kInlineBits = (fmt::kMapInlineRowSize - fmt::kMapInlineBitsOffset) * 8;
constexpr std::size_t kLeafMaskOffset = 0x1B;
constexpr std::size_t kLeafFirstEntry = 0x1E0;
}  // namespace

void DataPageBuilder::reset(uint32_t owner) {
    m_page.fill(0);
    m_page[0] = fmt::kPageData;
    m_page[1] = 0x01;
    putU32(&m_page[fmt::kDataOwnerOffset], owner);
    m_rows = 0;
    m_top = fmt::kPageSize;
    putU16(&m_page[fmt::kDataFreeSpaceOffset], static_cast<uint16_t>(freeSpace()));
}

uint16_t DataPageBuilder::add(const uint8_t* row, std::size_t length) {
    m_top -= length;
    std::memcpy(&m_page[m_top], row, length);
    putU16(&m_page[fmt::kDataRowTableOffset + 2 * m_rows], static_cast<uint16_t>(m_top));
    const uint16_t number = m_rows++;
    putU16(&m_page[fmt::kDataRowCountOffset], m_rows);
    putU16(&m_page[fmt::kDataFreeSpaceOffset], static_cast<uint16_t>(freeSpace()));
    return number;
}

bool inlineMapStart(const std::vector<uint32_t>& pages, uint32_t& start) {
    if (pages.empty() || pages.back() < kInlineBits) {
        start = 0;
        return true;
    }
    start = pages.front() / 8 * 8;
    return pages.back() - start < kInlineBits;
}

std::vector<uint8_t> inlineMapRow(uint32_t start, const std::vector<uint32_t>& pages) {
    std::vector<uint8_t> row(fmt::kMapInlineRowSize, 0);
    row[0] = fmt::kMapInline;
    putU32(&row[fmt::kMapInlineStartOffset], start);
    for (uint32_t p : pages) {
        const uint32_t bit = p - start;
        row[fmt::kMapInlineBitsOffset + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    return row;
}

std::vector<uint8_t> referenceMapRow(const std::vector<uint32_t>& mapPages) {
    std::vector<uint8_t> row(fmt::kMapInlineRowSize, 0);
    row[0] = fmt::kMapReference;
    for (std::size_t i = 0; i < mapPages.size() && i < kReferenceMapSlots; ++i) {
        putU32(&row[1 + 4 * i], mapPages[i]);
    }
    return row;
}

PageBytes referenceMapPage(uint32_t index, const std::vector<uint32_t>& pages) {
    PageBytes page{};
    page[0] = fmt::kPageUsageMap;
    page[1] = 0x01;
    const uint64_t first = uint64_t{index} * fmt::kMapPagePagesCovered;
    const uint64_t last = first + fmt::kMapPagePagesCovered;
    for (uint32_t p : pages) {
        if (p < first || p >= last) continue;
        const uint64_t bit = p - first;
        page[fmt::kMapPageBitsOffset + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    return page;
}

bool LeafEntry::operator<(const LeafEntry& o) const {
    if (key != o.key) return key < o.key;
    if (page != o.page) return page < o.page;
    return row < o.row;
}

Result<PageBytes> buildLeafPage(uint32_t tdefPage, std::vector<LeafEntry> entries) {
    std::sort(entries.begin(), entries.end());
    PageBytes page{};
    page[0] = fmt::kPageIndexLeaf;
    page[1] = 0x01;
    putU32(&page[4], tdefPage);
    std::size_t at = kLeafFirstEntry;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LeafEntry& e = entries[i];
        const std::size_t size = e.key.size() + 4;
        if (at + size > fmt::kPageSize) {
            return Status::notSupported("index of table page " + std::to_string(tdefPage) +
                                        " needs more than one leaf page");
        }
        std::memcpy(&page[at], e.key.data(), e.key.size());
        page[at + e.key.size()] = static_cast<uint8_t>(e.page >> 16);  // page: big-endian
        page[at + e.key.size() + 1] = static_cast<uint8_t>(e.page >> 8);
        page[at + e.key.size() + 2] = static_cast<uint8_t>(e.page);
        page[at + e.key.size() + 3] = e.row;
        at += size;
        // Each entry's end (the next one's start) is marked, the last one's too.
        const std::size_t bit = at - kLeafFirstEntry;
        page[kLeafMaskOffset + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    putU16(&page[2], static_cast<uint16_t>(fmt::kPageSize - at));
    return page;
}

}  // namespace lumaro::jet
