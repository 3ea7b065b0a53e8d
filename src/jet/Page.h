#pragma once
// One page of a database file (FORMAT.md "Pages").

#include <cstdint>
#include <memory>

namespace lumaro::jet {

// The bytes of one page, shared with the page cache.
struct Page {
    uint32_t number = 0;
    std::shared_ptr<const uint8_t[]> bytes;  // always kPageSize bytes
    const uint8_t* data() const { return bytes.get(); }
};

}  // namespace lumaro::jet
