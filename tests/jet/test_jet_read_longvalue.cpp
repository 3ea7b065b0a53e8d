// Memo and OLE values: inline, on one LVAL row, and chained over LVAL rows, with the damage each
// form can carry. The LVAL page is built here so that every form is covered.

#include <gtest/gtest.h>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/LongValue.h"
#include "jet/PageSource.h"

using namespace lumaro::jet;

namespace {

// Little-endian 32-bit words followed by text.
Bytes words(std::initializer_list<uint32_t> ws, const std::string& tail = "") {
    Bytes b;
    for (uint32_t w : ws)
        b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)});
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

// A long-value field: length and flags, LVAL row pointer, 4 unused bytes, inline data.
Bytes header(uint32_t lengthAndFlags, uint32_t pointer, const std::string& inlineData = "") {
    return words({lengthAndFlags, pointer, 0}, inlineData);
}

// A data page holding `rows`, packed from the end of the page as Jet packs them.
std::vector<uint8_t> lvalPage(const std::vector<Bytes>& rows) {
    std::vector<uint8_t> page(format::kPageSize, 0);
    page[0] = format::kPageData;
    page[1] = 1;
    putU32(&page[format::kDataOwnerOffset], format::kLvalOwner);
    putU16(&page[format::kDataRowCountOffset], static_cast<uint16_t>(rows.size()));
    std::size_t end = format::kPageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t start = end - rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), page.begin() + static_cast<long>(start));
        putU16(&page[format::kDataRowTableOffset + 2 * i], static_cast<uint16_t>(start));
        end = start;
    }
    return page;
}

std::shared_ptr<PageSource> source() {
    std::vector<uint8_t> file(format::kPageSize, 0);  // page 0
    const auto page = lvalPage({
        words({makeRowPointer(1, 1)}, "Hello, "),  // row 0: first of a chain
        words({0}, "world"),                       // row 1: its end
        words({}, "single-row-data"),              // row 2: a value on one row
        words({makeRowPointer(1, 3)}, "x"),        // row 3: a chain pointing at itself
    });
    file.insert(file.end(), page.begin(), page.end());
    return PageSource::openBytes(file).value();
}

struct LongCase {
    const char* name;
    Bytes field;
    const char* value;  // expected value, or nullptr when an error is expected
    const char* error;  // part of the expected message
};

void PrintTo(const LongCase& c, std::ostream* os) { *os << c.name; }

class LongValues : public ::testing::TestWithParam<LongCase> {};

TEST_P(LongValues, ReadOrRefuse) {
    const LongCase& c = GetParam();
    Bytes out;
    const Status s = readLongValue(*source(), c.field.data(), c.field.size(), out);
    if (c.value) {
        ASSERT_TRUE(s) << s.message();
        EXPECT_EQ(std::string(out.begin(), out.end()), c.value);
    } else {
        EXPECT_EQ(s.code(), Status::Code::Corruption);
        EXPECT_NE(s.message().find(c.error), std::string::npos) << s.message();
    }
}

constexpr uint32_t kInline = format::kLongValueInline;
constexpr uint32_t kSingle = format::kLongValueSinglePage;

INSTANTIATE_TEST_SUITE_P(
    Jet, LongValues,
    ::testing::Values(LongCase{"Inline", header(kInline | 5, 0, "abcde"), "abcde", nullptr},
                      LongCase{"InlineEmpty", header(kInline | 0, 0), "", nullptr},
                      LongCase{"SingleRow", header(kSingle | 15, makeRowPointer(1, 2)),
                               "single-row-data", nullptr},
                      LongCase{"Chain", header(12, makeRowPointer(1, 0)), "Hello, world", nullptr},
                      LongCase{"ChainTakesOnlyItsLength", header(9, makeRowPointer(1, 0)),
                               "Hello, wo", nullptr},
                      LongCase{"HeaderShort", Bytes(8, 0), nullptr, "8 bytes (12 needed)"},
                      LongCase{"InlinePastField", header(kInline | 50, 0, "abcde"), nullptr,
                               "inline long value of 50 bytes exceeds its field of 17"},
                      LongCase{"SingleRowTooShort", header(kSingle | 100, makeRowPointer(1, 2)),
                               nullptr, "page 1, row 2: row of 15 bytes, value of 100"},
                      LongCase{"PointerPastEnd", header(kSingle | 4, makeRowPointer(9, 0)), nullptr,
                               "page 9: beyond the end of the file (2 pages)"},
                      LongCase{"PointerToMissingRow", header(kSingle | 4, makeRowPointer(1, 7)),
                               nullptr, "page 1, row 7: no such row (the page holds 4)"},
                      LongCase{"ChainCycle", header(10, makeRowPointer(1, 3)), nullptr,
                               "chain loops back to page 1, row 3"},
                      LongCase{"ChainEndsEarly", header(20, makeRowPointer(1, 0)), nullptr,
                               "chain ends after 12 of 20 bytes"},
                      LongCase{"LengthPastFile", header(0x3FFFFFFF, makeRowPointer(1, 0)), nullptr,
                               "exceeds the file size"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
