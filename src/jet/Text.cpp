#include "jet/Text.h"

#include "jet/Coding.h"
#include "jet/JetFormat.h"

namespace lumaro::jet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads one code point from UTF-8 at `i`, advancing it; malformed input gives U+FFFD.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<uint8_t>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra = 0;
    char32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        c = b0 & 0x07;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<uint8_t>(s[i]) & 0xC0) != 0x80) return kReplacement;
        c = (c << 6) | (static_cast<uint8_t>(s[i++]) & 0x3F);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    return c;
}

// Writes UTF-8 for UTF-16 code units into a buffer sized by the caller (at most 3 bytes per
// unit plus 3 for a dangling surrogate), pairing surrogates. Scans are dominated by text
// decoding, hence the raw buffer rather than push_back.
class Utf8Writer {
public:
    explicit Utf8Writer(char* out) : m_p(out) {}
    void put(char16_t u) {
        if (m_high != 0) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                code(0x10000 + ((char32_t(m_high) - 0xD800) << 10) + (u - 0xDC00));
                m_high = 0;
                return;
            }
            code(kReplacement);
            m_high = 0;
        }
        if (u < 0x80) {
            *m_p++ = static_cast<char>(u);
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            m_high = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            code(kReplacement);
        } else {
            code(u);
        }
    }
    char* finish() {
        if (m_high != 0) code(kReplacement);
        m_high = 0;
        return m_p;
    }

private:
    void code(char32_t c) {
        if (c < 0x800) {
            *m_p++ = static_cast<char>(0xC0 | (c >> 6));
            *m_p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *m_p++ = static_cast<char>(0xE0 | (c >> 12));
            *m_p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *m_p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *m_p++ = static_cast<char>(0xF0 | (c >> 18));
            *m_p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *m_p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *m_p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    char* m_p;
    char16_t m_high = 0;
};

// Room for the UTF-8 of `size` stored bytes: 3 bytes per stored byte covers every case.
std::size_t utf8Room(std::size_t size) { return 3 * size + 4; }

}  // namespace

void appendUtf16LeAsUtf8(const uint8_t* data, std::size_t size, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + utf8Room(size));
    Utf8Writer w(out.data() + start);
    for (std::size_t i = 0; i + 1 < size; i += 2) w.put(static_cast<char16_t>(getU16(data + i)));
    if (size % 2 != 0) w.put(static_cast<char16_t>(kReplacement));
    out.resize(static_cast<std::size_t>(w.finish() - out.data()));
}

void decodeJetText(const uint8_t* data, std::size_t size, std::string& out) {
    out.clear();
    const bool compressed =
        size >= 2 && data[0] == format::kCompressedMarker0 && data[1] == format::kCompressedMarker1;
    if (!compressed) {
        appendUtf16LeAsUtf8(data, size, out);
        return;
    }
    // FORMAT.md "Text": one byte per character until a zero byte switches to two bytes per
    // character; each further zero byte switches back.
    out.resize(utf8Room(size));
    Utf8Writer w(out.data());
    bool oneByte = true;
    std::size_t i = 2;
    while (i < size) {
        if (data[i] == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            w.put(data[i++]);
        } else if (i + 1 < size) {
            w.put(static_cast<char16_t>(getU16(data + i)));
            i += 2;
        } else {
            break;
        }
    }
    out.resize(static_cast<std::size_t>(w.finish() - out.data()));
}

std::string decodeJetText(const uint8_t* data, std::size_t size) {
    std::string out;
    decodeJetText(data, size, out);
    return out;
}

std::size_t appendUtf8AsUtf16Le(std::string_view utf8, std::string& outBytes) {
    std::size_t units = 0;
    auto putUnit = [&](char32_t u) {
        outBytes.push_back(static_cast<char>(u & 0xFF));
        outBytes.push_back(static_cast<char>((u >> 8) & 0xFF));
        ++units;
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        if (c >= 0x10000) {
            putUnit(0xD800 + ((c - 0x10000) >> 10));
            putUnit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            putUnit(c);
        }
    }
    return units;
}

char32_t foldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: upper/lower pairs, even-odd except in the two odd-even runs.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x178) return 0xFF;
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;  // Greek capitals
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic capitals
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::string foldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) appendUtf8(foldCase(nextCodePoint(utf8, i)), out);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (foldCase(nextCodePoint(a, i)) != foldCase(nextCodePoint(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

}  // namespace lumaro::jet
