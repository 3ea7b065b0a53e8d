// Byte surgery on Jet files made by Access: each damage gives its own clear error, naming what is
// wrong and where. (Random damage is the fuzz target's part: src/jet/fuzz, run by run_fuzz.sh.)

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
    bool first = true;
    EXPECT_TRUE(tab->forEachRow([&](const Row& r) {
        if (first) {
            t.rowPage = r.storedAt().page;
            t.rowOffset = r.offset();
            t.rowLength = r.length();
            t.rowColumns = r.storedColumnCount();
            first = false;
        }
        if (!(r.id() == r.storedAt())) t.movedFrom = r.id();
        return true;
    }));
    return t;
}

// The first long-value header in the file that points into an LVAL page: its pointer's offset.
std::size_t findLongValuePointer(const std::vector<uint8_t>& b) {
    for (std::size_t p = 0; p + kPage <= b.size(); p += kPage) {
        if (b[p] != format::kPageData || getU32(&b[p + 4]) == format::kLvalOwner) continue;
        for (std::size_t i = p + 16; i + 12 <= p + kPage; ++i) {
            const uint32_t header = getU32(&b[i]);
            if ((header & 0xC0000000) != format::kLongValueSinglePage || (header & 0x3FFFFFFF) == 0)
                continue;
            const uint32_t target = rowPointerPage(getU32(&b[i + 4]));
            if (target > 0 && (target + 1) * kPage <= b.size() && b[target * kPage] == 1 &&
                getU32(&b[target * kPage + 4]) == format::kLvalOwner) {
                return i + 4;
            }
        }
    }
    return 0;
}

struct Damage {
    const char* name;
    const char* file;
    const char* table;
    std::function<void(std::vector<uint8_t>&, const Target&)> apply;
    Status::Code code;
    const char* message;  // a part of the expected message
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class JetDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(JetDamage, GivesTheExactError) {
    const Damage& d = GetParam();
    std::vector<uint8_t> bytes = lumaro::jet::testing::fileBytes(kFixtures + "/" + d.file);
    if (bytes.empty()) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    ASSERT_TRUE(readEverything(bytes, d.table)) << "the undamaged file must read";
    const Target target = inspect(bytes, d.table);
    d.apply(bytes, target);
    const Status s = readEverything(bytes, d.table);
    EXPECT_EQ(s.code(), d.code) << s.message();
    EXPECT_NE(s.message().find(d.message), std::string::npos) << s.message();
}

const Damage kDamages[] = {
    {"NotJet", "delColTestV2000.mdb", "Table1", [](auto& b, auto&) { b[4] = 'X'; },
     Status::Code::Corruption, "page 0: not a Jet database"},
    {"Jet3", "delColTestV2000.mdb", "Table1", [](auto& b, auto&) { b[0x14] = 0; },
     Status::Code::NotSupported, "Jet 3 (Access 97)"},
    {"Ace", "delColTestV2000.mdb", "Table1", [](auto& b, auto&) { b[0x14] = 2; },
     Status::Code::NotSupported, "version 2"},
    {"Encrypted", "delColTestV2000.mdb", "Table1", [](auto& b, auto&) { b[0x3E] ^= 1; },
     Status::Code::NotSupported, "encrypted"},
    {"TruncatedMidPage", "delColTestV2000.mdb", "Table1",
     [](auto& b, auto&) { b.resize(b.size() - 100); }, Status::Code::Corruption,
     "not a whole number of 4096-byte pages"},
    {"TooShort", "delColTestV2000.mdb", "Table1", [](auto& b, auto&) { b.resize(100); },
     Status::Code::Corruption, "too short"},
    {"TruncatedPages", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { b.resize(t.lastOwnedPage * kPage); }, Status::Code::Corruption,
     "beyond the end of the file"},
    {"TdefPageType", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { b[t.tdef * kPage] = format::kPageData; },
     Status::Code::Corruption, "expected a table definition page, found type 1"},
    {"TdefColumnCount", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU16(&b[t.tdef * kPage + 45], 1000); },
     Status::Code::Corruption, "column count 1000 does not fit"},
    {"TdefChainLoop", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU32(&b[t.tdef * kPage + 4], t.tdef); },
     Status::Code::Corruption, "loops back to page"},
    {"CatalogIdOnHeaderPage", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU32(&b[t.catalogId], 0); }, Status::Code::Corruption,
     "table \"Table1\": table definition on page 0, the database header"},
    {"RowOffsetPastPage", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU16(&b[slotOffset(t.rowPage, 0)], 5000); },
     Status::Code::Corruption, ", row 0: row offset 5000"},
    {"RowCountTooLarge", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU16(&b[t.rowPage * kPage + 12], 3000); },
     Status::Code::Corruption, "row count 3000 does not fit the page"},
    {"NullMaskTooLarge", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU16(&b[t.rowPage * kPage + t.rowOffset], 0xFFFF); },
     Status::Code::Corruption, "null mask of 65535 columns does not fit"},
    {"VariableOffsetPastRow", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) {
         const std::size_t mask = (t.rowColumns + 7u) / 8u;
         putU16(&b[t.rowPage * kPage + t.rowOffset + t.rowLength - mask - 4], 0x0FFF);
     },
     Status::Code::Corruption, "outside the row's data area"},
    {"UsageMapPastEnd", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { putU32(&b[rowStart(b, t.mapPage, t.mapRow) + 1], 0xFFFF00); },
     Status::Code::Corruption, "usage map at page 25, row 0: lists page 167769"},
    {"UsageMapType", "delColTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) { b[rowStart(b, t.mapPage, t.mapRow)] = 7; },
     Status::Code::Corruption, "unknown map type 7"},
    {"OverflowCycle", "overflowTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) {
         putU32(&b[rowStart(b, t.movedFrom.page, t.movedFrom.row)],
                makeRowPointer(t.movedFrom.page, t.movedFrom.row));
     },
     Status::Code::Corruption, "overflow pointers loop"},
    {"OverflowPastEnd", "overflowTestV2000.mdb", "Table1",
     [](auto& b, const Target& t) {
         putU32(&b[rowStart(b, t.movedFrom.page, t.movedFrom.row)], makeRowPointer(0xFFFFF0, 0));
     },
     Status::Code::Corruption, "overflow pointer: page 16777200: beyond the end of the file"},
    {"LongValuePastEnd", "delTestV2000.mdb", "Table",
     [](auto& b, auto&) {
         const std::size_t at = findLongValuePointer(b);
         ASSERT_NE(at, 0u) << "the fixture has a long value on an LVAL page";
         putU32(&b[at], makeRowPointer(0xFFFFF0, 0));
     },
     Status::Code::Corruption, "long value: page 16777200: beyond the end of the file"},
};

INSTANTIATE_TEST_SUITE_P(Jet, JetDamage, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
