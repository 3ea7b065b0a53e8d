// Row decoding on rows built byte by byte: fixed and variable fields, the null mask, Yes/No
// values, rows written before a column was added, empty long values, and damaged layouts.

#include <gtest/gtest.h>

#include "ExternalReaders.h"
#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/PageSource.h"
#include "jet/RowDecoder.h"
#include "jet/TableDefinition.h"

using namespace lumaro::jet;

namespace {

Column column(const char* name, ColumnType type, uint16_t number, bool fixed, uint16_t at,
              uint16_t length) {
    Column c{.name = name, .type = type, .storedLength = length, .number = number, .fixed = fixed};
    (fixed ? c.fixedOffset : c.varIndex) = at;
    return c;
}

// Id Long (fixed 0), Name Text (var 0), Flag Yes/No, Notes Memo (var 1), Amount Currency (fixed 4,
// column 4: added after the first rows were written).
Table::Data table() {
    Table::Data t;
    t.name = "T";
    t.hasVariableColumns = true;
    t.columns = {column("Id", ColumnType::Long, 0, true, 0, 4),
                 column("Name", ColumnType::Text, 1, false, 0, 100),
                 column("Flag", ColumnType::Boolean, 2, true, 0, 1),
                 column("Notes", ColumnType::Memo, 3, false, 1, 0),
                 column("Amount", ColumnType::Currency, 4, true, 4, 8)};
    return t;
}

Bytes le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes ucs2(const std::string& ascii) {
    Bytes b;
    for (char c : ascii) b.insert(b.end(), {static_cast<uint8_t>(c), 0});
    return b;
}

Bytes inlineMemo(const std::string& ascii) {
    return cat({le32(format::kLongValueInline | static_cast<uint32_t>(ascii.size() * 2)),
                Bytes(8, 0), ucs2(ascii)});
}

// A Jet 4 row: column count, fixed area, variable fields, offsets (stored backwards), count,
// null mask with the given bits set.
Bytes row(uint16_t columns, Bytes fixed, const std::vector<Bytes>& vars, std::vector<int> notNull) {
    Bytes r(2);
    putU16(r.data(), columns);
    r.insert(r.end(), fixed.begin(), fixed.end());
    std::vector<uint16_t> offsets{static_cast<uint16_t>(r.size())};
    for (const Bytes& v : vars) {
        r.insert(r.end(), v.begin(), v.end());
        offsets.push_back(static_cast<uint16_t>(r.size()));
    }
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
        r.insert(r.end(), {uint8_t(*it), uint8_t(*it >> 8)});
    r.insert(r.end(), {static_cast<uint8_t>(vars.size()), 0});
    Bytes mask((columns + 7) / 8, 0);
    for (int bit : notNull)
        mask[static_cast<std::size_t>(bit / 8)] |= static_cast<uint8_t>(1 << (bit % 8));
    r.insert(r.end(), mask.begin(), mask.end());
    return r;
}

struct RowCase {
    const char* name;
    Bytes stored;
    const char* canonical;  // expected values, or nullptr when an error is expected
    const char* error;
};

void PrintTo(const RowCase& c, std::ostream* os) { *os << c.name; }

class RowDecoding : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowDecoding, DecodesOrRefuses) {
    const RowCase& c = GetParam();
    const Table::Data t = table();
    auto source = PageSource::openBytes(std::vector<uint8_t>(2 * format::kPageSize, 0)).value();
    std::vector<Value> values;
    uint16_t columns = 0;
    const Status s = decodeRow(t, *source, c.stored.data(), c.stored.size(), values, columns);
    if (c.canonical) {
        ASSERT_TRUE(s) << s.message();
        EXPECT_EQ(lumaro::jet::testing::canonicalRow(t.columns, values), c.canonical);
    } else {
        EXPECT_EQ(s.code(), Status::Code::Corruption);
        EXPECT_NE(s.message().find(c.error), std::string::npos) << s.message();
    }
}

const Bytes kFixed = cat({le32(7), le32(12345), le32(0)});  // Id 7, Amount 1.2345

INSTANTIATE_TEST_SUITE_P(
    Jet, RowDecoding,
    ::testing::Values(
        RowCase{"AllPresent", row(5, kFixed, {ucs2("Ana"), inlineMemo("hi")}, {0, 1, 2, 3, 4}),
                "7\tAna\t1\thi\t1.2345", nullptr},
        RowCase{"NullsAndFalse", row(5, kFixed, {ucs2("x"), inlineMemo("y")}, {0}),
                "7\t\\N\t0\t\\N\t\\N", nullptr},
        RowCase{"RowPredatesFixedColumn", row(4, le32(7), {ucs2("Ana")}, {0, 1, 2, 3}),
                "7\tAna\t1\t\\N\t\\N", nullptr},
        RowCase{"RowPredatesVariableColumn", row(5, kFixed, {ucs2("Ana")}, {0, 1, 3}),
                "7\tAna\t0\t\\N\t\\N", nullptr},
        RowCase{"EmptyTextAndMemo", row(5, kFixed, {Bytes{}, Bytes{}}, {0, 1, 3}),
                "7\t\t0\t\t\\N", nullptr},
        RowCase{"FixedFieldPastFixedArea", row(5, le32(7), {ucs2("A"), Bytes{}}, {0, 4}), nullptr,
                "column \"Amount\": fixed field 6+8 beyond the fixed area ending at 6"},
        RowCase{"MemoHeaderTooShort", row(5, kFixed, {ucs2("A"), Bytes(5, 0)}, {0, 3}), nullptr,
                "column \"Notes\": 5 bytes are too few for its type"},
        RowCase{"RowTooShort", Bytes{1, 0}, nullptr, "row of 2 bytes"},
        RowCase{"VariableCountTooLarge", [] {
                    Bytes r = row(5, kFixed, {ucs2("A")}, {0, 1});
                    r[r.size() - 3] = 200;  // the variable count, just before the mask
                    return r;
                }(),
                nullptr, "variable column count 200 does not fit"},
        RowCase{"OffsetsOutOfOrder", [] {
                    Bytes r = row(5, kFixed, {ucs2("Ana"), ucs2("B")}, {0, 1, 3});
                    putU16(&r[r.size() - 1 - 2 - 4], 40);  // offset 1 beyond offset 2
                    return r;
                }(),
                nullptr, "column \"Name\": variable field 14..40 outside the row's data area"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
