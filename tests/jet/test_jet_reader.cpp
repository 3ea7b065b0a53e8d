// Reader building blocks on values no fixture holds: old dates, odd text, folding, decimals.

#include <gtest/gtest.h>

#include <string_view>

#include "jet/RowDecoder.h"
#include "jet/Text.h"

using namespace lumaro::jet;
using namespace std::string_view_literals;

namespace {

struct DateCase {
    std::vector<int> parts;  // y, mo, d, h, mi, s
    double days;
    const char* text;
};

class DateTimeParts : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTimeParts, StoredValueAndPartsAgree) {
    const DateCase& c = GetParam();
    const auto& p = c.parts;
    EXPECT_DOUBLE_EQ(DateTime::fromParts(p[0], p[1], p[2], p[3], p[4], p[5]).days, c.days);
    std::vector<int> parts(6);
    DateTime{c.days}.toParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
    EXPECT_EQ(parts, p);
    EXPECT_EQ(DateTime{c.days}.toString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Jet, DateTimeParts,
    ::testing::Values(DateCase{{1899, 12, 30, 0, 0, 0}, 0.0, "1899/12/30 00:00:00"},
                      // Before the epoch the time of day is added to the negative day count.
                      DateCase{{1899, 12, 29, 6, 0, 0}, -1.25, "1899/12/29 06:00:00"},
                      DateCase{{632, 3, 4, 0, 0, 0}, -463063.0, "0632/03/04 00:00:00"},
                      DateCase{{9999, 1, 1, 0, 0, 0}, 2958101.0, "9999/01/01 00:00:00"}));

TEST(DateTimeParts, RoundsToTheSecondAndNamesInvalidDates) {
    EXPECT_EQ(DateTime{46361.9999999}.toString(), "2026/12/06 00:00:00");
    EXPECT_EQ(DateTime{1e300}.toString(), "invalid date");
}

class StoredText : public ::testing::TestWithParam<std::pair<std::string_view, const char*>> {};

TEST_P(StoredText, Decodes) {
    const auto& [stored, utf8] = GetParam();
    EXPECT_EQ(decodeJetText(reinterpret_cast<const uint8_t*>(stored.data()), stored.size()), utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Jet, StoredText,
    ::testing::Values(
        // In compressed text a zero byte switches to two bytes per character and back.
        std::pair{"\xFF\xFEx\0\x14\x04\0y"sv, "x\xD0\x94y"}, std::pair{"\xFF\xFE"sv, ""},
        std::pair{"\x3D\xD8\x00\xDE"sv, "\xF0\x9F\x98\x80"},  // surrogate pair
        std::pair{"\x3D\xD8\x61\x00"sv, "\xEF\xBF\xBD\x61"},  // lone surrogate
        std::pair{"a\0b"sv, "a\xEF\xBF\xBD"}));               // odd trailing byte

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
                         ::testing::Values(FoldCase{"Cumpleaños", "CUMPLEAÑOS", true},
                                           FoldCase{"cClieCode", "cCliecode", true},
                                           FoldCase{"Łódź", "łÓDŹ", true}, FoldCase{"Ω", "ω", true},
                                           FoldCase{"Д", "д", true},
                                           FoldCase{"×", "÷", false},  // not a pair
                                           FoldCase{"Cumpleaños", "Cumpleanos", false},
                                           FoldCase{"abc", "abcd", false}));

std::vector<uint8_t> numeric(bool negative, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    std::vector<uint8_t> b{static_cast<uint8_t>(negative ? 0x80 : 0)};
    for (uint32_t w : {w0, w1, w2, w3})
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(w >> (8 * k)));
    return b;
}

struct NumericCase {
    std::vector<uint8_t> stored;  // 17 bytes
    uint8_t scale;
    const char* text;
};

class NumericText : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericText, Formats) {
    EXPECT_EQ(numericToString(GetParam().stored.data(), GetParam().scale), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Jet, NumericText,
    ::testing::Values(NumericCase{numeric(false, 0, 0, 0, 12345), 2, "123.45"},
                      NumericCase{numeric(false, 0, 0, 0, 5), 2, "0.05"},
                      NumericCase{numeric(true, 0, 0, 0, 5), 0, "-5"},
                      // Words are stored most significant first: 2^32 + 1.
                      NumericCase{numeric(false, 0, 0, 1, 1), 0, "4294967297"},
                      NumericCase{numeric(false, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF), 0,
                                  "340282366920938463463374607431768211455"}));

}  // namespace
