#pragma once
// Text as Jet stores it (UCS-2 little-endian, optionally in the compressed form of FORMAT.md
// "Text") and the UTF-8 the rest of the engine uses, plus the case folding by which tables and
// columns are found.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumaro::jet {

// Decodes stored text: the compressed form when it starts with FF FE, plain UCS-2LE otherwise.
// An odd trailing byte and unpaired surrogates become U+FFFD; never fails.
void decodeJetText(const uint8_t* data, std::size_t size, std::string& out);
std::string decodeJetText(const uint8_t* data, std::size_t size);

// Plain UCS-2LE to UTF-8 (names in table definitions are stored this way).
void appendUtf16LeAsUtf8(const uint8_t* data, std::size_t size, std::string& out);

// UTF-8 to UTF-16LE bytes; invalid sequences become U+FFFD. Returns the number of UTF-16 code
// units written (what Jet counts as characters).
std::size_t appendUtf8AsUtf16Le(std::string_view utf8, std::string& outBytes);

// Simple case folding (one code point to one) for Basic Latin, Latin-1 Supplement, Latin
// Extended-A, Greek and Cyrillic: enough for names such as "Cumpleaños" == "CUMPLEAÑOS".
char32_t foldCase(char32_t c);
std::string foldCase(std::string_view utf8);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace lumaro::jet
