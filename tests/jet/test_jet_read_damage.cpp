// Byte surgery on Access-made files: each damage gives its own clear error (random: the fuzzer).

#include <gtest/gtest.h>

#include <functional>

#include "ExternalReaders.h"
#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/Reader.h"

using namespace lumaro::jet;
using lumaro::jet::testing::kFixtures;

namespace {

constexpr std::size_t kPage = format::kPageSize;

// The first error met opening the file and reading every row of Table1.
Status readEverything(std::vector<uint8_t> bytes) {
    Result<Database> db = Database::openBytes(std::move(bytes));
    if (!db) return db.status();
    Result<Table> t = db->table("Table1");
    if (!t) return t.status();
    return t->forEachRow([](const Row&) { return true; });
}

std::size_t slotOffset(uint32_t page, uint16_t row) { return page * kPage + 14 + 2u * row; }
std::size_t rowStart(const std::vector<uint8_t>& b, uint32_t page, uint16_t row) {
    return page * kPage + (getU16(&b[slotOffset(page, row)]) & format::kRowOffsetMask);
}

// Where the surgery aims, as the reader reports it for the undamaged files. Table1 of
// delColTestV2000.mdb: its definition page, last owned page, the file offset of its Id in its
// catalog row, its usage map (page 25, row 0) and its first row (page 29, 49 bytes, 6 columns).
constexpr uint32_t kTdef = 24, kLastOwnedPage = 29, kCatalogId = 59751, kRowPage = 29;
constexpr std::size_t kRowStart = kRowPage * kPage + 4047, kRowEnd = kRowStart + 49;
// overflowTestV2000.mdb: the pointer slot of a row that Access moved to another page.
void putMovedRowPointer(std::vector<uint8_t>& b, uint32_t pointer) {
    putU32(&b[rowStart(b, 27, 4)], pointer);
}

// One damage and the error it must give; most rows damage delColTestV2000.mdb.
struct Damage {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> apply;
    const char* message;  // a part of the expected message
    Status::Code code = Status::Code::Corruption;
    const char* file = "delColTestV2000.mdb";
};

constexpr auto kNotSupported = Status::Code::NotSupported;

const Damage kDamages[] = {
    {"NotJet", [](auto& b) { b[4] = 'X'; }, "page 0: not a Jet database"},
    {"Jet3", [](auto& b) { b[0x14] = 0; }, "Jet 3 (Access 97)", kNotSupported},
    {"Ace", [](auto& b) { b[0x14] = 2; }, "version 2", kNotSupported},
    {"Encrypted", [](auto& b) { b[0x3E] ^= 1; }, "encrypted", kNotSupported},
    {"TruncatedMidPage", [](auto& b) { b.resize(b.size() - 100); },
     "not a whole number of 4096-byte pages"},
    {"TooShort", [](auto& b) { b.resize(100); }, "too short"},
    {"TruncatedPages", [](auto& b) { b.resize(kLastOwnedPage * kPage); },
     "beyond the end of the file"},
    {"TdefPageType", [](auto& b) { b[kTdef * kPage] = format::kPageData; },
     "expected a table definition page, found type 1"},
    {"TdefColumnCount", [](auto& b) { putU16(&b[kTdef * kPage + 45], 1000); },
     "column count 1000 does not fit"},
    {"TdefChainLoop", [](auto& b) { putU32(&b[kTdef * kPage + 4], kTdef); }, "loops back to page"},
    {"CatalogIdOnHeaderPage", [](auto& b) { putU32(&b[kCatalogId], 0); },
     "table \"Table1\": table definition on page 0, the database header"},
    {"RowOffsetPastPage", [](auto& b) { putU16(&b[slotOffset(kRowPage, 0)], 5000); },
     ", row 0: row offset 5000"},
    {"RowCountTooLarge", [](auto& b) { putU16(&b[kRowPage * kPage + 12], 3000); },
     "row count 3000 does not fit the page"},
    {"NullMaskTooLarge", [](auto& b) { putU16(&b[kRowStart], 0xFFFF); },
     "null mask of 65535 columns does not fit"},
    // The offset that ends the fixed area, before the variable count and the 1-byte null mask.
    {"VariableOffsetPastRow", [](auto& b) { putU16(&b[kRowEnd - 1 - 4], 0x0FFF); },
     "outside the row's data area"},
    {"UsageMapPastEnd", [](auto& b) { putU32(&b[rowStart(b, 25, 0) + 1], 0xFFFF00); },
     "usage map at page 25, row 0: lists page 167769"},
    {"UsageMapType", [](auto& b) { b[rowStart(b, 25, 0)] = 7; }, "unknown map type 7"},
    {"OverflowCycle", [](auto& b) { putMovedRowPointer(b, makeRowPointer(27, 4)); },
     "overflow pointers loop", Status::Code::Corruption, "overflowTestV2000.mdb"},
    {"OverflowPastEnd", [](auto& b) { putMovedRowPointer(b, makeRowPointer(0xFFFFF0, 0)); },
     "overflow pointer: page 16777200: beyond the end of the file", Status::Code::Corruption,
     "overflowTestV2000.mdb"},
};

TEST(JetDamage, GivesTheExactError) {
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        std::vector<uint8_t> bytes = lumaro::jet::testing::fileBytes(kFixtures + "/" + d.file);
        if (bytes.empty()) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
        ASSERT_TRUE(readEverything(bytes)) << "the undamaged file must read";
        d.apply(bytes);
        const Status s = readEverything(bytes);
        EXPECT_EQ(s.code(), d.code) << s.message();
        EXPECT_NE(s.message().find(d.message), std::string::npos) << s.message();
    }
}

}  // namespace
