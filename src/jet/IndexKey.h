#pragma once
// Index keys as Jet 4.0 stores them in index leaf pages (FORMAT-writing.md "Index keys"):
// integers in sign-flipped big-endian order and text in the General (legacy) sort order 1033,
// so that the raw bytes of two keys compare as the values do.

#include <cstdint>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet::indexkey {

// Appends the ascending key of a non-null Long Integer: the flag byte, then the value
// big-endian with its sign bit flipped.
void appendLong(std::vector<uint8_t>& key, int32_t value);

// Appends the ascending key of a non-null text value (UTF-8) in the General sort order.
// Supports the characters up to U+00FF (simple, international and unprintable codes); a
// character beyond Latin-1 is refused with NotSupported, text that is not UTF-8 with
// InvalidArgument.
Status appendText(std::vector<uint8_t>& key, std::string_view utf8);

}  // namespace lumaro::jet::indexkey
