#include "jet/TextCodec.h"

namespace lumaro::jet::text {

namespace {

// Decodes one UTF-8 sequence at `i`; returns false when malformed.
bool nextCodePoint(std::string_view s, std::size_t& i, char32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t b0 = byte(i);
    int extra = 0;
    if (b0 < 0x80) {
        cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        extra = 1;
    } else if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        extra = 2;
    } else if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
        const uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
    return true;
}

}  // namespace

bool fromUtf8(std::string_view utf8, std::u16string& out) {
    out.clear();
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        if (!nextCodePoint(utf8, i, cp)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return true;
}

bool appendColumnText(std::string_view utf8, bool compress, std::vector<uint8_t>& out,
                      std::size_t& chars) {
    const std::size_t start = out.size();
    if (compress) {
        // Optimistic compressed pass; falls back to UCS-2 at the first character that does
        // not fit in one byte (or a zero, which would toggle the mode). Never more bytes than
        // the UTF-8 text and the two marker bytes.
        out.resize(start + 2 + utf8.size());
        uint8_t* at = out.data() + start;
        *at++ = 0xFF;
        *at++ = 0xFE;
        std::size_t i = 0;
        chars = 0;
        bool fits = true;
        while (i < utf8.size()) {
            const uint8_t b = static_cast<uint8_t>(utf8[i]);
            if (b != 0 && b < 0x80) {
                *at++ = b;
                ++i;
                ++chars;
                continue;
            }
            char32_t cp = 0;
            if (!nextCodePoint(utf8, i, cp)) {
                out.resize(start);
                return false;
            }
            if (cp == 0 || cp > 0xFF) {
                fits = false;
                break;
            }
            *at++ = static_cast<uint8_t>(cp);
            ++chars;
        }
        out.resize(static_cast<std::size_t>(at - out.data()));
        if (fits && chars > 2) return true;
        out.resize(start);
    }
    std::u16string units;
    if (!fromUtf8(utf8, units)) return false;
    chars = units.size();
    for (char16_t u : units) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    return true;
}

std::vector<uint8_t> toUcs2(std::string_view utf8) {
    std::vector<uint8_t> out;
    std::size_t chars = 0;
    if (!appendColumnText(utf8, false, out, chars)) out.clear();
    return out;
}

}  // namespace lumaro::jet::text
