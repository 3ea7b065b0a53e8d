#pragma once
// Usage maps (FORMAT.md "Usage maps"): bitmaps of pages, stored inline in a row or in 0x05 pages
// that the row refers to.

#include <cstdint>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

class PageSource;

// Pages whose bit is set in the map stored at the row pointer, ascending. A listed page beyond
// the end of the file is damage, unless `clipAtEnd`: then it is left out (the global free-page
// map marks every page past the end as free).
Result<std::vector<uint32_t>> readUsageMap(const PageSource& source, uint32_t rowPointer,
                                           bool clipAtEnd = false);

}  // namespace lumaro::jet
