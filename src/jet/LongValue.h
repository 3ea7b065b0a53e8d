#pragma once
// Memo and OLE values (FORMAT.md "Long values (Memo and OLE)"): a 12-byte header in the row,
// the data inline after it or in rows of LVAL pages.

#include <cstddef>
#include <cstdint>

#include "jet/JetTypes.h"

namespace lumaro::jet {

class PageSource;

// Assembles the value whose 12-byte header starts at `field` (`size` bytes available in the
// row). Follows LVAL chains with a cycle check; every pointer and length is checked.
Status readLongValue(const PageSource& source, const uint8_t* field, std::size_t size, Bytes& out);

}  // namespace lumaro::jet
