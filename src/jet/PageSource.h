#pragma once
// Page-by-page access to a database file (or to bytes in memory) with a small cache, so that a
// scan of a large file keeps a bounded amount of it in memory. Not thread-safe.

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "jet/JetTypes.h"
#include "jet/Page.h"

namespace lumaro::jet {

class PageSource {
public:
    static Result<std::shared_ptr<PageSource>> openFile(const std::string& path);
    static Result<std::shared_ptr<PageSource>> openBytes(std::vector<uint8_t> bytes);

    const std::string& path() const { return m_path; }
    uint32_t pageCount() const { return m_pageCount; }
    // The page, or an error when it lies beyond the end of the file or cannot be read.
    Result<Page> page(uint32_t number) const;

private:
    static constexpr std::size_t kCacheSlots = 256;
    static constexpr uint32_t kReadAhead = 32;  // pages read at once during a scan
    struct Slot {
        uint32_t number = UINT32_MAX;
        std::shared_ptr<uint8_t[]> bytes;
    };

    std::string m_path;
    uint32_t m_pageCount = 0;
    mutable std::ifstream m_file;
    std::vector<uint8_t> m_memory;  // used instead of the file when not empty
    mutable std::array<Slot, kCacheSlots> m_cache;
    mutable std::vector<uint8_t> m_block;  // read buffer of the last file read
    mutable uint32_t m_lastRead = UINT32_MAX - 1;

    // The buffer of the slot for `number`, emptied for filling.
    uint8_t* claim(uint32_t number) const;
    // Reads `number` (and, in a scan, the pages after it) from the file into the cache.
    Status readFromFile(uint32_t number) const;
};

// "page 14, row 3: " style prefixes for messages.
std::string where(uint32_t page);
std::string where(uint32_t page, uint16_t row);

}  // namespace lumaro::jet
