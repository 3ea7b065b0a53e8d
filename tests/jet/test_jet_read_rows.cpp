// Rows and long values built byte by byte, in every stored form, and the damage each can carry.

#include <gtest/gtest.h>

#include "ExternalReaders.h"
#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/LongValue.h"
#include "jet/PageSource.h"
#include "jet/RowDecoder.h"
#include "jet/TableDefinition.h"

using namespace lumaro::jet;

namespace {

// Little-endian 32-bit words followed by bytes.
Bytes words(std::initializer_list<uint32_t> ws, const std::string& tail = "") {
    Bytes b;
    for (uint32_t w : ws)
        b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)});
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

Bytes ucs2(const std::string& ascii) {
    Bytes b;
    for (char c : ascii) b.insert(b.end(), {uint8_t(c), 0});
    return b;
}

// A long-value field: length and flags, LVAL row pointer, 4 unused bytes, inline data.
Bytes header(uint32_t lengthAndFlags, uint32_t pointer, const std::string& inlineData = "") {
    return words({lengthAndFlags, pointer, 0}, inlineData);
}

Bytes inlineMemo(const std::string& ascii) {
    return header(format::kLongValueInline | static_cast<uint32_t>(ascii.size() * 2), 0,
                  std::string(reinterpret_cast<const char*>(ucs2(ascii).data()), ascii.size() * 2));
}

// `r` with the 16-bit word `back` bytes before its end set to `v`.
Bytes patched(Bytes r, std::size_t back, uint16_t v) {
    putU16(&r[r.size() - back], v);
    return r;
}

Column column(const char* name, ColumnType type, uint16_t number, bool fixed, uint16_t at,
              uint16_t length) {
    Column c{.name = name, .type = type, .storedLength = length, .number = number, .fixed = fixed};
    (fixed ? c.fixedOffset : c.varIndex) = at;
    return c;
}

// Id Long, Name Text, Flag Yes/No, Notes Memo, Amount Currency (added after the first rows).
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

// A Jet 4 row: column count, fixed area, variable fields, offsets backwards, count, null mask.
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

// A file whose page 1 holds long-value rows, packed from the end of the page as Jet packs them.
std::shared_ptr<PageSource> source() {
    const std::vector<Bytes> rows = {
        words({makeRowPointer(1, 1)}, "Hello, "),  // row 0: first of a chain
        words({0}, "world"),                       // row 1: its end
        words({}, "single-row-data"),              // row 2: a value on one row
        words({makeRowPointer(1, 3)}, "x"),        // row 3: a chain pointing at itself
    };
    std::vector<uint8_t> file(2 * format::kPageSize, 0);
    uint8_t* page = &file[format::kPageSize];
    page[0] = format::kPageData;
    page[1] = 1;
    putU32(&page[format::kDataOwnerOffset], format::kLvalOwner);
    putU16(&page[format::kDataRowCountOffset], static_cast<uint16_t>(rows.size()));
    std::size_t end = format::kPageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        end -= rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), page + end);
        putU16(&page[format::kDataRowTableOffset + 2 * i], static_cast<uint16_t>(end));
    }
    return PageSource::openBytes(file).value();
}

// Bytes and what decoding them gives: the value, or a part of the Corruption message.
struct ByteCase {
    const char* name;
    Bytes stored;
    const char* expected;
    bool refused = false;
};

void expectDecoded(const Status& s, const std::string& value, const ByteCase& c) {
    if (c.refused) {
        EXPECT_EQ(s.code(), Status::Code::Corruption);
        EXPECT_NE(s.message().find(c.expected), std::string::npos) << s.message();
    } else {
        ASSERT_TRUE(s) << s.message();
        EXPECT_EQ(value, c.expected);
    }
}

const Bytes kFixed = words({7, 12345, 0});  // Id 7, Amount 1.2345
constexpr uint32_t kInline = format::kLongValueInline;
constexpr uint32_t kSingle = format::kLongValueSinglePage;

const ByteCase kRows[] = {
    {"AllPresent", row(5, kFixed, {ucs2("Ana"), inlineMemo("hi")}, {0, 1, 2, 3, 4}),
     "7\tAna\t1\thi\t1.2345"},
    {"NullsAndFalse", row(5, kFixed, {ucs2("x"), inlineMemo("y")}, {0}), "7\t\\N\t0\t\\N\t\\N"},
    {"RowPredatesFixedColumn", row(4, words({7}), {ucs2("Ana")}, {0, 1, 2, 3}),
     "7\tAna\t1\t\\N\t\\N"},
    {"RowPredatesVariableColumn", row(5, kFixed, {ucs2("Ana")}, {0, 1, 3}), "7\tAna\t0\t\\N\t\\N"},
    {"EmptyTextAndMemo", row(5, kFixed, {Bytes{}, Bytes{}}, {0, 1, 3}), "7\t\t0\t\t\\N"},
    {"FixedFieldPastFixedArea", row(5, words({7}), {ucs2("A"), Bytes{}}, {0, 4}),
     "column \"Amount\": fixed field 6+8 beyond the fixed area ending at 6", true},
    {"MemoHeaderTooShort", row(5, kFixed, {ucs2("A"), Bytes(5, 0)}, {0, 3}),
     "column \"Notes\": 5 bytes are too few for its type", true},
    {"MemoPastFile", row(5, kFixed, {ucs2("A"), header(kSingle | 4, makeRowPointer(9, 0))}, {0, 3}),
     "column \"Notes\": long value: page 9: beyond the end of the file", true},
    {"RowTooShort", Bytes{1, 0}, "row of 2 bytes", true},
    // The variable count, just before the mask; then offset 1 beyond offset 2.
    {"VariableCountTooLarge", patched(row(5, kFixed, {ucs2("A")}, {0, 1}), 3, 200),
     "variable column count 200 does not fit", true},
    {"OffsetsOutOfOrder", patched(row(5, kFixed, {ucs2("Ana"), ucs2("B")}, {0, 1, 3}), 7, 40),
     "column \"Name\": variable field 14..40 outside the row's data area", true}};

const ByteCase kLongValues[] = {
    {"Inline", header(kInline | 5, 0, "abcde"), "abcde"},
    {"InlineEmpty", header(kInline | 0, 0), ""},
    {"SingleRow", header(kSingle | 15, makeRowPointer(1, 2)), "single-row-data"},
    {"Chain", header(12, makeRowPointer(1, 0)), "Hello, world"},
    {"ChainTakesOnlyItsLength", header(9, makeRowPointer(1, 0)), "Hello, wo"},
    {"HeaderShort", Bytes(8, 0), "8 bytes (12 needed)", true},
    {"InlinePastField", header(kInline | 50, 0, "abcde"),
     "inline long value of 50 bytes exceeds its field of 17", true},
    {"SingleRowTooShort", header(kSingle | 100, makeRowPointer(1, 2)),
     "page 1, row 2: row of 15 bytes, value of 100", true},
    {"PointerPastEnd", header(kSingle | 4, makeRowPointer(9, 0)),
     "page 9: beyond the end of the file (2 pages)", true},
    {"PointerToMissingRow", header(kSingle | 4, makeRowPointer(1, 7)),
     "page 1, row 7: no such row (the page holds 4)", true},
    {"ChainCycle", header(10, makeRowPointer(1, 3)), "chain loops back to page 1, row 3", true},
    {"ChainEndsEarly", header(20, makeRowPointer(1, 0)), "chain ends after 12 of 20 bytes", true},
    {"LengthPastFile", header(0x3FFFFFFF, makeRowPointer(1, 0)), "exceeds the file size", true}};

TEST(JetBytes, RowsAndLongValuesDecodeOrAreRefused) {
    const Table::Data t = table();
    const auto lval = source();
    for (const ByteCase& c : kRows) {
        SCOPED_TRACE(c.name);
        std::vector<Value> values;
        uint16_t columns = 0;
        const Status s = decodeRow(t, *lval, c.stored.data(), c.stored.size(), values, columns);
        expectDecoded(s, lumaro::jet::testing::canonicalRow(t.columns, values), c);
    }
    for (const ByteCase& c : kLongValues) {
        SCOPED_TRACE(c.name);
        Bytes out;
        const Status s = readLongValue(*lval, c.stored.data(), c.stored.size(), out);
        expectDecoded(s, std::string(out.begin(), out.end()), c);
    }
}

}  // namespace
