#pragma once
// Text as the writer stores it (FORMAT-writing.md "Text values"): UTF-8 in, UCS-2LE out, in
// Jet's compressed form (FF FE, then one byte per character) when every character fits in one
// byte and that is shorter.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumaro::jet::text {

// Strict UTF-8 to UTF-16. Returns false on malformed input (out is then unspecified).
bool fromUtf8(std::string_view utf8, std::u16string& out);

// Encodes `utf8` for a text column and appends the bytes to `out`. `chars` receives the length
// in UTF-16 code units, which is what a Text(n) column limits. Returns false when the text is
// not valid UTF-8.
bool appendColumnText(std::string_view utf8, bool compress, std::vector<uint8_t>& out,
                      std::size_t& chars);

// Plain UCS-2LE of a name (table definitions, catalog rows).
std::vector<uint8_t> toUcs2(std::string_view utf8);

}  // namespace lumaro::jet::text
