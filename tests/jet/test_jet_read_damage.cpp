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

// The first error met opening the file and reading every row of `table`.
Status readEverything(std::vector<uint8_t> bytes, const std::string& table) {
    Result<Database> db = Database::openBytes(std::move(bytes));
    if (!db) return db.status();
    Result<Table> t = db->table(table);
    if (!t) return t.status();
    return t->forEachRow([](const Row&) { return true; });
}

// Facts about the undamaged file that the surgery aims at.
struct Target {
    uint32_t tdef = 0, lastOwnedPage = 0, mapPage = 0, rowPage = 0;
    uint16_t mapRow = 0;
    uint16_t rowOffset = 0, rowLength = 0, rowColumns = 0;
    RowId movedFrom;            // a moved row's pointer slot, when the table has one
    std::size_t catalogId = 0;  // file offset of the table's Id in its MSysObjects row
};

std::size_t slotOffset(uint32_t page, uint16_t row) { return page * kPage + 14 + 2u * row; }
std::size_t rowStart(const std::vector<uint8_t>& b, uint32_t page, uint16_t row) {
    return page * kPage + (getU16(&b[slotOffset(page, row)]) & format::kRowOffsetMask);
}

Target inspect(const std::vector<uint8_t>& bytes, const std::string& table) {
    Target t;
    Result<Database> db = Database::openBytes(bytes);
    EXPECT_TRUE(db) << db.status().message();
    Result<Table> tab = db->table(table);
    EXPECT_TRUE(tab) << tab.status().message();
    t.tdef = tab->definitionPage();
    t.mapPage = rowPointerPage(tab->ownedPagesPointer());
    t.mapRow = rowPointerRow(tab->ownedPagesPointer());
    t.lastOwnedPage = tab->ownedPages().value().back();
    for (const CatalogEntry& e : db->catalog()) {
        if (e.name == table) {
            const uint16_t idAt = db->table("MSysObjects")->column("Id")->fixedOffset;
            t.catalogId = rowStart(bytes, e.rowId.page, e.rowId.row) + 2 + idAt;
        }
    }
    EXPECT_TRUE(tab->forEachRow([&](const Row& r) {
        if (t.rowLength == 0) {  // the first row
            t.rowPage = r.storedAt().page;
            t.rowOffset = r.offset();
            t.rowLength = r.length();
            t.rowColumns = r.storedColumnCount();
        }
        if (!(r.id() == r.storedAt())) t.movedFrom = r.id();
        return true;
    }));
    return t;
}

// One damage and the error it must give; most rows damage Table1 of delColTestV2000.mdb.
struct Damage {
    const char* name;
    std::function<void(std::vector<uint8_t>&, const Target&)> apply;
    const char* message;  // a part of the expected message
    Status::Code code = Status::Code::Corruption;
    const char* file = "delColTestV2000.mdb";
    const char* table = "Table1";
};

void putMovedRowPointer(std::vector<uint8_t>& b, const Target& t, uint32_t pointer) {
    putU32(&b[rowStart(b, t.movedFrom.page, t.movedFrom.row)], pointer);
}

constexpr auto kNotSupported = Status::Code::NotSupported;

const Damage kDamages[] = {
    {"NotJet", [](auto& b, auto&) { b[4] = 'X'; }, "page 0: not a Jet database"},
    {"Jet3", [](auto& b, auto&) { b[0x14] = 0; }, "Jet 3 (Access 97)", kNotSupported},
    {"Ace", [](auto& b, auto&) { b[0x14] = 2; }, "version 2", kNotSupported},
    {"Encrypted", [](auto& b, auto&) { b[0x3E] ^= 1; }, "encrypted", kNotSupported},
    {"TruncatedMidPage", [](auto& b, auto&) { b.resize(b.size() - 100); },
     "not a whole number of 4096-byte pages"},
    {"TooShort", [](auto& b, auto&) { b.resize(100); }, "too short"},
    {"TruncatedPages", [](auto& b, const Target& t) { b.resize(t.lastOwnedPage * kPage); },
     "beyond the end of the file"},
    {"TdefPageType", [](auto& b, const Target& t) { b[t.tdef * kPage] = format::kPageData; },
     "expected a table definition page, found type 1"},
    {"TdefColumnCount", [](auto& b, const Target& t) { putU16(&b[t.tdef * kPage + 45], 1000); },
     "column count 1000 does not fit"},
    {"TdefChainLoop", [](auto& b, const Target& t) { putU32(&b[t.tdef * kPage + 4], t.tdef); },
     "loops back to page"},
    {"CatalogIdOnHeaderPage", [](auto& b, const Target& t) { putU32(&b[t.catalogId], 0); },
     "table \"Table1\": table definition on page 0, the database header"},
    {"RowOffsetPastPage",
     [](auto& b, const Target& t) { putU16(&b[slotOffset(t.rowPage, 0)], 5000); },
     ", row 0: row offset 5000"},
    {"RowCountTooLarge", [](auto& b, const Target& t) { putU16(&b[t.rowPage * kPage + 12], 3000); },
     "row count 3000 does not fit the page"},
    {"NullMaskTooLarge",
     [](auto& b, const Target& t) { putU16(&b[t.rowPage * kPage + t.rowOffset], 0xFFFF); },
     "null mask of 65535 columns does not fit"},
    {"VariableOffsetPastRow",
     [](auto& b, const Target& t) {
         const std::size_t mask = (t.rowColumns + 7u) / 8u;
         putU16(&b[t.rowPage * kPage + t.rowOffset + t.rowLength - mask - 4], 0x0FFF);
     },
     "outside the row's data area"},
    {"UsageMapPastEnd",
     [](auto& b, const Target& t) { putU32(&b[rowStart(b, t.mapPage, t.mapRow) + 1], 0xFFFF00); },
     "usage map at page 25, row 0: lists page 167769"},
    {"UsageMapType", [](auto& b, const Target& t) { b[rowStart(b, t.mapPage, t.mapRow)] = 7; },
     "unknown map type 7"},
    {"OverflowCycle",
     [](auto& b, const Target& t) {
         putMovedRowPointer(b, t, makeRowPointer(t.movedFrom.page, t.movedFrom.row));
     },
     "overflow pointers loop", Status::Code::Corruption, "overflowTestV2000.mdb"},
    {"OverflowPastEnd",
     [](auto& b, const Target& t) { putMovedRowPointer(b, t, makeRowPointer(0xFFFFF0, 0)); },
     "overflow pointer: page 16777200: beyond the end of the file", Status::Code::Corruption,
     "overflowTestV2000.mdb"},
};

TEST(JetDamage, GivesTheExactError) {
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        std::vector<uint8_t> bytes = lumaro::jet::testing::fileBytes(kFixtures + "/" + d.file);
        if (bytes.empty()) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
        ASSERT_TRUE(readEverything(bytes, d.table)) << "the undamaged file must read";
        const Target target = inspect(bytes, d.table);
        d.apply(bytes, target);
        const Status s = readEverything(bytes, d.table);
        EXPECT_EQ(s.code(), d.code) << s.message();
        EXPECT_NE(s.message().find(d.message), std::string::npos) << s.message();
    }
}

}  // namespace
