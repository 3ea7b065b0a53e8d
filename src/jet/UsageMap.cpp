#include "jet/UsageMap.h"

#include "jet/Coding.h"
#include "jet/DataPage.h"
#include "jet/JetFormat.h"
#include "jet/PageSource.h"

namespace lumaro::jet {

using namespace format;

namespace {

Status addBits(const uint8_t* bits, std::size_t size, uint64_t firstPage, uint32_t pageCount,
               bool clipAtEnd, const std::string& what, std::vector<uint32_t>& pages) {
    for (std::size_t i = 0; i < size; ++i) {
        if (bits[i] == 0) continue;
        for (int b = 0; b < 8; ++b) {
            if ((bits[i] >> b & 1) == 0) continue;
            const uint64_t page = firstPage + i * 8 + static_cast<uint64_t>(b);
            if (page >= pageCount) {
                if (clipAtEnd) return Status::ok();  // bits run in ascending page order
                return Status::corruption(what + "lists page " + std::to_string(page) +
                                          " beyond the end of the file (" +
                                          std::to_string(pageCount) + " pages)");
            }
            pages.push_back(static_cast<uint32_t>(page));
        }
    }
    return Status::ok();
}

}  // namespace

Result<std::vector<uint32_t>> readUsageMap(const PageSource& source, uint32_t rowPointer,
                                           bool clipAtEnd) {
    const uint32_t mapPage = rowPointerPage(rowPointer);
    const uint16_t mapRow = rowPointerRow(rowPointer);
    const std::string what = "usage map at " + where(mapPage, mapRow);
    Result<RowRef> ref = findRow(source, mapPage, mapRow);
    if (!ref) return Status::corruption(what + ref.status().message());
    const uint8_t* row = ref->page.data() + ref->slot.start;
    const std::size_t len = ref->slot.length();
    if (len < 1) return Status::corruption(what + "empty row");
    std::vector<uint32_t> pages;
    if (row[0] == kMapInline) {
        if (len < kMapInlineBitsOffset)
            return Status::corruption(what + "inline map row too short");
        const uint32_t start = getU32(row + kMapInlineStartOffset);
        Status s = addBits(row + kMapInlineBitsOffset, len - kMapInlineBitsOffset, start,
                           source.pageCount(), clipAtEnd, what, pages);
        if (!s) return s;
        return pages;
    }
    if (row[0] != kMapReference) {
        return Status::corruption(what + "unknown map type " + std::to_string(row[0]));
    }
    // Each entry above zero names a 0x05 page covering the next kMapPagePagesCovered pages.
    // Jet reads entries as signed numbers: Access leaves negative ones (-128) that name none.
    const std::size_t entries = (len - 1) / 4;
    for (std::size_t i = 0; i < entries; ++i) {
        const uint32_t bitmapPage = getU32(row + 1 + 4 * i);
        if (static_cast<int32_t>(bitmapPage) <= 0) continue;
        Result<Page> page = source.page(bitmapPage);
        if (!page) return Status::corruption(what + page.status().message());
        if (page->data()[0] != kPageUsageMap) {
            return Status::corruption(what + "refers to " + where(bitmapPage) +
                                      "which is not a usage-map page (type " +
                                      std::to_string(page->data()[0]) + ")");
        }
        Status s = addBits(page->data() + kMapPageBitsOffset, kPageSize - kMapPageBitsOffset,
                           static_cast<uint64_t>(i) * kMapPagePagesCovered, source.pageCount(),
                           clipAtEnd, what, pages);
        if (!s) return s;
    }
    return pages;
}

}  // namespace lumaro::jet
