// Reader building blocks: dates, stored text, case folding, numeric values.

#include <gtest/gtest.h>

#include "jet/RowDecoder.h"
#include "jet/Text.h"

using namespace lumaro::jet;

namespace {

struct DateCase {
    int y, mo, d, h, mi, s;
    double days;
    const char* text;
};

class DateTimeParts : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTimeParts, StoredValueAndPartsAgree) {
    const DateCase& c = GetParam();
    const DateTime t = DateTime::fromParts(c.y, c.mo, c.d, c.h, c.mi, c.s);
    EXPECT_DOUBLE_EQ(t.days, c.days);
    int y, mo, d, h, mi, s;
    DateTime{c.days}.toParts(y, mo, d, h, mi, s);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s}),
              std::vector<int>({c.y, c.mo, c.d, c.h, c.mi, c.s}));
    EXPECT_EQ(DateTime{c.days}.toString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Jet, DateTimeParts,
    ::testing::Values(DateCase{1899, 12, 30, 0, 0, 0, 0.0, "1899/12/30 00:00:00"},
                      DateCase{1900, 1, 1, 12, 0, 0, 2.5, "1900/01/01 12:00:00"},
                      // Before the epoch the time of day is added to the negative day count.
                      DateCase{1899, 12, 29, 6, 0, 0, -1.25, "1899/12/29 06:00:00"},
                      DateCase{1898, 1, 1, 0, 0, 0, -728.0, "1898/01/01 00:00:00"},
                      DateCase{632, 3, 4, 0, 0, 0, -463063.0, "0632/03/04 00:00:00"},
                      DateCase{9999, 1, 1, 0, 0, 0, 2958101.0, "9999/01/01 00:00:00"},
                      DateCase{2026, 12, 5, 18, 0, 0, 46361.75, "2026/12/05 18:00:00"}));

TEST(DateTimeParts, RoundsToTheNextMidnight) {
    int y, mo, d, h, mi, s;
    DateTime{46361.9999999}.toParts(y, mo, d, h, mi, s);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s}), std::vector<int>({2026, 12, 6, 0, 0, 0}));
    EXPECT_EQ(DateTime{1e300}.toString(), "invalid date");
}

struct TextCase {
    const char* name;
    std::vector<uint8_t> stored;
    const char* utf8;
};

class StoredText : public ::testing::TestWithParam<TextCase> {};

TEST_P(StoredText, Decodes) {
    const TextCase& c = GetParam();
    EXPECT_EQ(decodeJetText(c.stored.data(), c.stored.size()), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Jet, StoredText,
    ::testing::Values(
        TextCase{"Ucs2", {'A', 0, 'n', 0, 'a', 0}, "Ana"},
        TextCase{"Compressed",
                 {0xFF, 0xFE, 'A', 'n', 0xF1, 'a'},
                 "An\xC3\xB1"
                 "a"},
        // A zero byte switches to two bytes per character and back.
        TextCase{"CompressedMixed", {0xFF, 0xFE, 'x', 0, 0x14, 0x04, 0, 'y'}, "x\xD0\x94y"},
        TextCase{"SurrogatePair", {0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
        TextCase{"LoneSurrogate",
                 {0x3D, 0xD8, 'a', 0},
                 "\xEF\xBF\xBD"
                 "a"},
        TextCase{"OddTrailingByte", {'a', 0, 'b'}, "a\xEF\xBF\xBD"}, TextCase{"Empty", {}, ""},
        TextCase{"OnlyMarker", {0xFF, 0xFE}, ""}),
    [](const auto& info) { return info.param.name; });

struct FoldCase {
    const char* a;
    const char* b;
    bool equal;
};

class CaseFolding : public ::testing::TestWithParam<FoldCase> {};

TEST_P(CaseFolding, ComparesNames) {
    EXPECT_EQ(equalsIgnoreCase(GetParam().a, GetParam().b), GetParam().equal)
        << GetParam().a << " vs " << GetParam().b;
}

INSTANTIATE_TEST_SUITE_P(Jet, CaseFolding,
                         ::testing::Values(FoldCase{"Cumplea\xC3\xB1os", "CUMPLEA\xC3\x91OS", true},
                                           FoldCase{"cClieCode", "cCliecode", true},
                                           FoldCase{"\xC3\x84\xC3\x96\xC3\x9C",
                                                    "\xC3\xA4\xC3\xB6\xC3\xBC", true},  // ÄÖÜ
                                           FoldCase{"\xC5\x81\xC3\xB3"
                                                    "d\xC5\xBA",
                                                    "\xC5\x82\xC3\x93"
                                                    "D\xC5\xB9",
                                                    true},                          // Łódź
                                           FoldCase{"\xCE\xA9", "\xCF\x89", true},  // Greek omega
                                           FoldCase{"\xD0\x94", "\xD0\xB4", true},  // Cyrillic de
                                           FoldCase{"\xC3\x97", "\xC3\xB7",
                                                    false},  // × and ÷ are not a pair
                                           FoldCase{"Cumplea\xC3\xB1os", "Cumpleanos", false},
                                           FoldCase{"abc", "abcd", false}));

struct NumericCase {
    std::vector<uint8_t> stored;  // 17 bytes
    uint8_t scale;
    const char* text;
};

std::vector<uint8_t> numeric(bool negative, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    std::vector<uint8_t> b{static_cast<uint8_t>(negative ? 0x80 : 0)};
    for (uint32_t w : {w0, w1, w2, w3}) {
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(w >> (8 * k)));
    }
    return b;
}

class NumericText : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericText, Formats) {
    EXPECT_EQ(numericToString(GetParam().stored.data(), GetParam().scale), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Jet, NumericText,
    ::testing::Values(NumericCase{numeric(false, 0, 0, 0, 12345), 2, "123.45"},
                      NumericCase{numeric(false, 0, 0, 0, 5), 2, "0.05"},
                      NumericCase{numeric(true, 0, 0, 0, 5), 0, "-5"},
                      NumericCase{numeric(false, 0, 0, 0, 0), 0, "0"},
                      // Words are stored most significant first: 2^32 + 1.
                      NumericCase{numeric(false, 0, 0, 1, 1), 0, "4294967297"},
                      NumericCase{numeric(false, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF), 0,
                                  "340282366920938463463374607431768211455"}));

}  // namespace
