// Reader building blocks on values no fixture holds: old dates, odd text, folding, decimals.

#include <gtest/gtest.h>

#include <string_view>

#include "jet/RowDecoder.h"
#include "jet/Text.h"

using namespace lumaro::jet;
using namespace std::string_view_literals;

namespace {

TEST(JetValues, DateTimePartsAndStoredValueAgree) {
    const std::vector<std::tuple<std::vector<int>, double, const char*>> cases = {
        {{1899, 12, 30, 0, 0, 0}, 0.0, "1899/12/30 00:00:00"},
        // Before the epoch the time of day is added to the negative day count.
        {{1899, 12, 29, 6, 0, 0}, -1.25, "1899/12/29 06:00:00"},
        {{632, 3, 4, 0, 0, 0}, -463063.0, "0632/03/04 00:00:00"},
        {{9999, 1, 1, 0, 0, 0}, 2958101.0, "9999/01/01 00:00:00"}};
    for (const auto& [p, days, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_DOUBLE_EQ(DateTime::fromParts(p[0], p[1], p[2], p[3], p[4], p[5]).days, days);
        std::vector<int> parts(6);
        DateTime{days}.toParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
        EXPECT_EQ(parts, p);
        EXPECT_EQ(DateTime{days}.toString(), text);
    }
    EXPECT_EQ(DateTime{46361.9999999}.toString(), "2026/12/06 00:00:00");  // rounds to the second
    EXPECT_EQ(DateTime{1e300}.toString(), "invalid date");
}

TEST(JetValues, StoredTextDecodes) {
    const std::pair<std::string_view, const char*> cases[] = {
        // In compressed text a zero byte switches to two bytes per character and back.
        {"\xFF\xFEx\0\x14\x04\0y"sv, "x\xD0\x94y"},
        {"\xFF\xFE"sv, ""},
        {"\x3D\xD8\x00\xDE"sv, "\xF0\x9F\x98\x80"},  // surrogate pair
        {"\x3D\xD8\x61\x00"sv, "\xEF\xBF\xBD\x61"},  // lone surrogate
        {"a\0b"sv, "a\xEF\xBF\xBD"}};                // odd trailing byte
    for (const auto& [stored, utf8] : cases) {
        EXPECT_EQ(decodeJetText(reinterpret_cast<const uint8_t*>(stored.data()), stored.size()),
                  utf8);
    }
}

TEST(JetValues, NamesCompareInAnyCase) {
    const std::tuple<const char*, const char*, bool> cases[] = {{"Cumpleaños", "CUMPLEAÑOS", true},
                                                                {"cClieCode", "cCliecode", true},
                                                                {"Łódź", "łÓDŹ", true},
                                                                {"Ω", "ω", true},
                                                                {"Д", "д", true},
                                                                {"×", "÷", false},  // not a pair
                                                                {"Cumpleaños", "Cumpleanos", false},
                                                                {"abc", "abcd", false}};
    for (const auto& [a, b, equal] : cases)
        EXPECT_EQ(equalsIgnoreCase(a, b), equal) << a << " vs " << b;
}

std::vector<uint8_t> numeric(bool negative, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    std::vector<uint8_t> b{static_cast<uint8_t>(negative ? 0x80 : 0)};
    for (uint32_t w : {w0, w1, w2, w3})
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(w >> (8 * k)));
    return b;
}

TEST(JetValues, NumericText) {
    const std::tuple<std::vector<uint8_t>, uint8_t, const char*> cases[] = {
        {numeric(false, 0, 0, 0, 12345), 2, "123.45"},
        {numeric(false, 0, 0, 0, 5), 2, "0.05"},
        {numeric(true, 0, 0, 0, 5), 0, "-5"},
        // Words are stored most significant first: 2^32 + 1.
        {numeric(false, 0, 0, 1, 1), 0, "4294967297"},
        {numeric(false, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF), 0,
         "340282366920938463463374607431768211455"}};
    for (const auto& [stored, scale, text] : cases)
        EXPECT_EQ(numericToString(stored.data(), scale), text);
}

}  // namespace
