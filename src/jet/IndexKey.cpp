#include "jet/IndexKey.h"

#include <array>
#include <string>

#include "jet/TextCodec.h"

namespace lumaro::jet::indexkey {

namespace {

constexpr uint8_t kAscendingFlag = 0x7F;
constexpr uint8_t kEndText = 0x01;
constexpr uint8_t kEndExtraText = 0x00;
constexpr uint8_t kExtraPlaceholder = 0x02;
constexpr uint16_t kUnprintableStart = 7;
constexpr uint8_t kUnprintableMidfix = 0x06;

// The General (legacy) sort codes of U+0000..U+00FF, one entry per character: a type letter
// (S simple, I international with extra codes after the comma, U unprintable, X ignored) and
// the hex code bytes (a leading zero dropped). Data of the Jet 4.0 sort order 1033 version 0,
// as published with the Jackcess library (index_codes_genleg.txt).
constexpr std::array<const char*, 256> kCodes = {
    "X",      "U3",     "U4",     "U5",     "U6",     "U7",     "U8",     "U9",     "UA",
    "S803",   "S804",   "S805",   "S806",   "S807",   "UB",     "UC",     "UD",     "UE",
    "UF",     "U10",    "U11",    "U12",    "U13",    "U14",    "U15",    "U16",    "U17",
    "U18",    "U19",    "U1A",    "U1B",    "U1C",    "S7",     "S9",     "SA",     "SC",
    "SE",     "S10",    "S12",    "U80",    "S14",    "S16",    "S18",    "S2C",    "S1A",
    "U82",    "S1C",    "S1E",    "S36",    "S38",    "S3A",    "S3C",    "S3E",    "S40",
    "S42",    "S44",    "S46",    "S48",    "S20",    "S22",    "S2E",    "S30",    "S32",
    "S24",    "S26",    "S4A",    "S4C",    "S4D",    "S4F",    "S51",    "S53",    "S55",
    "S57",    "S59",    "S5B",    "S5C",    "S5E",    "S60",    "S62",    "S64",    "S66",
    "S68",    "S69",    "S6B",    "S6D",    "S6F",    "S71",    "S73",    "S75",    "S76",
    "S78",    "S27",    "S29",    "S2A",    "S2B02",  "S2B03",  "S2B07",  "S4A",    "S4C",
    "S4D",    "S4F",    "S51",    "S53",    "S55",    "S57",    "S59",    "S5B",    "S5C",
    "S5E",    "S60",    "S62",    "S64",    "S66",    "S68",    "S69",    "S6B",    "S6D",
    "S6F",    "S71",    "S73",    "S75",    "S76",    "S78",    "S2B09",  "S2B0B",  "S2B0D",
    "S2B0F",  "U1D",    "U1E",    "U1F",    "U20",    "U21",    "U22",    "U23",    "U24",
    "U25",    "U26",    "U27",    "U28",    "U29",    "U2A",    "U2B",    "U2C",    "U2D",
    "U2E",    "U2F",    "U30",    "U31",    "U32",    "U33",    "U34",    "U35",    "U36",
    "U37",    "U38",    "U39",    "U3A",    "U3B",    "U3C",    "U3D",    "S802",   "S2B10",
    "S34A6",  "S34A7",  "S34A8",  "S34A9",  "S2B11",  "S34AA",  "S2B12",  "S34AB",  "I4A,3",
    "S3305",  "S34AC",  "U83",    "S34AD",  "S2B13",  "S34AE",  "S3304",  "S3A",    "S3C",
    "S2B14",  "S34AF",  "S34B0",  "S34B1",  "S2B15",  "S38",    "I64,3",  "S3307",  "S3712",
    "S3716",  "S371A",  "S2B16",  "I4A,F",  "I4A,E",  "I4A,12", "I4A,19", "I4A,13", "I4A,1A",
    "S4A51",  "I4D,1C", "I51,F",  "I51,E",  "I51,12", "I51,13", "I59,F",  "I59,E",  "I59,12",
    "I59,13", "I4F,68", "I62,19", "I64,F",  "I64,E",  "I64,12", "I64,19", "I64,13", "S3309",
    "I64,21", "I6F,F",  "I6F,E",  "I6F,12", "I6F,13", "I76,E",  "S6D57",  "S6B6B",  "I4A,F",
    "I4A,E",  "I4A,12", "I4A,19", "I4A,13", "I4A,1A", "S4A51",  "I4D,1C", "I51,F",  "I51,E",
    "I51,12", "I51,13", "I59,F",  "I59,E",  "I59,12", "I59,13", "I4F,68", "I62,19", "I64,F",
    "I64,E",  "I64,12", "I64,19", "I64,13", "S330A",  "I64,21", "I6F,F",  "I6F,E",  "I6F,12",
    "I6F,13", "I76,E",  "S6D57",  "I76,13",
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return c - 'A' + 10;
}

// Decodes a run of hex digits ("803" is 08 03) and appends the bytes.
void appendHex(std::vector<uint8_t>& out, std::string_view hex) {
    std::string digits(hex);
    if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
    }
}

}  // namespace

void appendLong(std::vector<uint8_t>& key, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value) ^ 0x80000000u;
    key.push_back(kAscendingFlag);
    key.push_back(static_cast<uint8_t>(v >> 24));
    key.push_back(static_cast<uint8_t>(v >> 16));
    key.push_back(static_cast<uint8_t>(v >> 8));
    key.push_back(static_cast<uint8_t>(v));
}

Status appendText(std::vector<uint8_t>& key, std::string_view utf8) {
    std::u16string text;
    if (!text::fromUtf8(utf8, text)) {
        return Status::invalidArgument("index key: text is not valid UTF-8");
    }
    while (!text.empty() && text.back() == u' ') text.pop_back();  // trailing blanks do not count

    key.push_back(kAscendingFlag);
    std::vector<uint8_t> extra;        // extra codes of international characters
    bool extraStarted = false;         // an international character was met
    std::size_t extraChars = 0;        // characters accounted for in `extra`
    std::vector<uint8_t> unprintable;  // codes of unprintable characters (hyphen, apostrophe)
    std::size_t position = 0;          // characters with inline codes so far
    for (char16_t c : text) {
        if (c > 0xFF) {
            return Status::notSupported("index key: character U+" + std::to_string(c) +
                                        " beyond Latin-1 is not supported in names");
        }
        const std::string_view code = kCodes[c];
        const char kind = code[0];
        const std::string_view codes = code.substr(1);
        if (kind == 'X') continue;
        if (kind == 'U') {
            // No inline code; after the text, a big-endian offset word that says where the
            // character stood (counted in extra-code bytes once those began), 06 and its code.
            const std::size_t at = extraStarted ? extra.size() + (position - extraChars) : position;
            const auto offset = static_cast<uint16_t>((kUnprintableStart + 4 * at) | 0x8000);
            unprintable.push_back(static_cast<uint8_t>(offset >> 8));
            unprintable.push_back(static_cast<uint8_t>(offset));
            unprintable.push_back(kUnprintableMidfix);
            appendHex(unprintable, codes);
            continue;
        }
        const std::size_t comma = codes.find(',');
        appendHex(key, codes.substr(0, comma));
        if (kind == 'I') {
            // Characters without extra codes before this one get a placeholder each.
            extraStarted = true;
            extra.insert(extra.end(), position - extraChars, kExtraPlaceholder);
            appendHex(extra, codes.substr(comma + 1));
            extraChars = position + 1;
        }
        ++position;
    }
    key.push_back(kEndText);
    while (!extra.empty() && extra.back() <= kExtraPlaceholder) extra.pop_back();
    key.insert(key.end(), extra.begin(), extra.end());
    if (!unprintable.empty()) {
        key.insert(key.end(), {kEndText, kEndText, kEndText});
        key.insert(key.end(), unprintable.begin(), unprintable.end());
    }
    key.push_back(kEndExtraText);
    return Status::ok();
}

}  // namespace lumaro::jet::indexkey
