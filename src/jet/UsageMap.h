#pragma once
// Usage maps (FORMAT.md "Usage maps"): bitmaps of pages, stored inline in a row or in 0x05 pages
// that the row refers to.

#include <cstdint>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

class PageSource;

// Pages whose bit is set in the map stored at the row pointer, ascending. Every listed page
// must lie inside the file.
Result<std::vector<uint32_t>> readUsageMap(const PageSource& source, uint32_t rowPointer);

}  // namespace lumaro::jet
