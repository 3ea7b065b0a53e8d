#pragma once
// The masked region of page 0 (FORMAT.md "Page 0: the database header").

#include <cstdint>

namespace lumaro::jet {

// XORs the masked region of a page-0 buffer (kPageSize bytes) with the RC4 keystream of the
// header key. The same call masks and unmasks.
void applyHeaderMask(uint8_t* page0);

}  // namespace lumaro::jet
