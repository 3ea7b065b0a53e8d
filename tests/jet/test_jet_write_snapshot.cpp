// A full snapshot written, read back by every reader, copied and damaged.
#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

#include "ExternalReaders.h"
#include "SnapshotTables.h"
#include "jet/Coding.h"
#include "jet/Reader.h"
#include "jet/Writer.h"

namespace fs = std::filesystem;
using namespace lumaro::jet;
using namespace lumaro::jet::testing;

namespace {

// Texts in compressed form, plain UCS-2 (Ω) and Spanish names.
const QStringList kSamples = {"Peña", "Ñandú", "Cumpleaños", "José Álvarez",
                              "a",    "Ωmega", "12345678",   "Av. Arequipa 1020"};

// A deterministic row: NULL in one nullable column in five, text now and then filling its column.
std::vector<Value> makeRow(const TableDef& def, int i) {
    std::vector<Value> row;
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        const ColumnDef& col = def.columns[c];
        const int k = static_cast<int>(c);
        const bool null = !col.required && col.type != ColumnType::Boolean && (i + k) % 5 == 0;
        row.push_back(
            null                           ? Value()
            : col.type == ColumnType::Long ? Value(int64_t{(i * 7919 + k) % 2000003 - 1000000})
            : col.type == ColumnType::DateTime
                ? Value(DateTime{40000.0 + i % 5000 + (k % 24) / 24.0})
            : col.type == ColumnType::Boolean ? Value(i % 3 == 0)
            : i % 11 == 0
                ? Value(QString(col.size, QChar(i % 2 ? u'ñ' : u'x')).toStdString())
                : Value(kSamples[(i + k) % kSamples.size()].left(col.size).toStdString()));
    }
    return row;
}

// Rows per table: Acumulacion_Punto passes 512 data pages, making its usage map a reference map.
int rowsFor(const std::string& table) {
    return table == "Acumulacion_Punto" ? 40000 : table == "Cliente" ? 3000 : 97;
}

class SnapshotFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<QTemporaryDir>();
        s_file = s_dir->filePath("3_05122026.mdb").toStdString();
        auto writer = Writer::create(s_file);
        ASSERT_TRUE(writer) << writer.status().message();
        for (const TableDef& def : snapshotTables()) {
            auto h = writer.value()->createTable(def);
            ASSERT_TRUE(h) << def.name << ": " << h.status().message();
            for (int i = 0; i < rowsFor(def.name); ++i) {
                const Status st = writer.value()->insert(h.value(), makeRow(def, i));
                ASSERT_TRUE(st) << def.name << " row " << i << ": " << st.message();
            }
        }
        ASSERT_TRUE(writer.value()->commit());
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::string s_file;
};

}  // namespace

TEST_F(SnapshotFile, EveryReaderReadsEveryRow) {
    Result<Database> db = Database::open(s_file);
    ASSERT_TRUE(db) << db.status().message();
    std::vector<std::string> expectedNames;
    for (const TableDef& def : snapshotTables()) expectedNames.push_back(def.name);
    EXPECT_EQ(db->tableNames(), expectedNames);
    for (const TableDef& def : snapshotTables()) {
        Result<Table> t = db->table(def.name);
        ASSERT_TRUE(t) << def.name;
        ASSERT_EQ(t->columns().size(), def.columns.size());
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            const ColumnDef ours = t->columns()[c].def(), want = def.columns[c];
            const int size = want.type == ColumnType::Text ? want.size : ours.size;  // Text only
            EXPECT_EQ(std::tie(ours.name, ours.type, ours.size, ours.required),
                      std::tie(want.name, want.type, size, want.required));
        }
        const int expected = rowsFor(def.name);
        int r = 0;
        const Status scanned = t->forEachRow([&](const Row& row) {
            EXPECT_EQ(row.values(), makeRow(def, r)) << def.name << " row " << r;
            // Other pages in between: the cache must not hand out the page being scanned.
            EXPECT_TRUE(++r % 500 != 0 || db->page(static_cast<uint32_t>(r / 500 % 40)));
            return true;
        });
        ASSERT_TRUE(scanned) << scanned.message();
        EXPECT_EQ(r, expected) << def.name;
        EXPECT_EQ(t->storedRowCount(), static_cast<uint32_t>(expected));
        // Past 512 data pages a table's page list is a reference map (type 1).
        Result<Bytes> map =
            db->rowBytes(t->ownedPagesPointer() >> 8, t->ownedPagesPointer() & 0xFF);
        ASSERT_TRUE(map && !map->empty());
        if (def.name == "Acumulacion_Punto") {
            EXPECT_EQ(map.value()[0], 1);
        }
    }
    Result<Bytes> global = db->rowBytes(1, 0);
    ASSERT_TRUE(global && !global->empty());
    EXPECT_EQ(global.value()[0], 1) << "the free-page map of a file over 512 pages";
    // mdbtools and mdb-reader read what this engine reads (compared with what was written above).
    if (!missingReaders().empty()) GTEST_SKIP() << missingReaders();
    expectMdbToolsAgree(s_file);
    expectMdbReaderAgrees(s_file);
}

// copy takes tables of supported types, names the others; the copy checks and exports alike.
TEST_F(SnapshotFile, CopyKeepsWhatTheWriterSupports) {
    EXPECT_TRUE(checksConsistent(s_file));
    const std::string access = kFixtures + "/testV2000.mdb";
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {s_file, 0, ""},
        {access, 3,
         "lumaro-mdb: tabla Table1 no copiada: la columna H tiene un tipo que el escritor no "
         "admite\n"
         "lumaro-mdb: tabla Table4 no copiada: la columna data tiene un tipo que el escritor no "
         "admite\n"}};
    for (const auto& [source, exitCode, err] : cases) {
        if (!fs::exists(source)) continue;  // no shared fixtures
        const std::string copy = s_dir->filePath("copy.mdb").toStdString();
        fs::remove(copy);
        const ToolOutput copied = lumaroMdb({"copy", source, copy});
        EXPECT_EQ(copied.exitCode, exitCode);
        EXPECT_EQ(copied.err, err);
        EXPECT_TRUE(checksConsistent(copy));
        const std::string tables = lumaroMdb({"tables", copy}).out;
        EXPECT_EQ(tables, exitCode ? "Table2\t0\nTable3\t0\n" : lumaroMdb({"tables", source}).out);
        std::istringstream names(tables);
        for (std::string table; std::getline(names, table, '\t') && names.ignore(100, '\n');) {
            EXPECT_EQ(lumaroMdb({"export", copy, table}).out,
                      lumaroMdb({"export", source, table}).out)
                << table;
        }
    }
}

TEST(JetWriteCatalog, ManyTablesSpillThePagesOfTheCatalog) {
    const std::string file = (fs::temp_directory_path() / "jet_write_catalog_many.mdb").string();
    int tables = 0;
    {
        auto writer = Writer::create(file);
        ASSERT_TRUE(writer);
        // Catalog rows outgrow page 14 before the name index its leaf; then a table is refused.
        for (;; ++tables) {
            TableDef def = snapshotTables()[8];
            def.name = "registro_canje_cumpleaños_" + std::to_string(tables);
            auto h = writer.value()->createTable(def);
            if (!h) {
                EXPECT_EQ(h.status().code(), Status::Code::NotSupported);
                EXPECT_NE(h.status().message().find("outgrows its index pages"), std::string::npos)
                    << h.status().message();
                break;
            }
            ASSERT_TRUE(writer.value()->insert(
                h.value(),
                {std::string("M") + std::to_string(tables), int64_t{tables}, std::string("CJ"),
                 DateTime{45000.25}, int64_t{3}, int64_t{tables * 10}, false, int64_t{3}}));
        }
        EXPECT_GE(tables, 40);
        const Status committed = writer.value()->commit();
        ASSERT_TRUE(committed) << committed.message();
    }
    {  // closed before the file is removed, which Windows refuses while it is open
        Result<Database> db = Database::open(file);
        ASSERT_TRUE(db) << db.status().message();
        EXPECT_EQ(db->tableNames().size(), static_cast<std::size_t>(tables));
        Result<Table> catalog = db->table("MSysObjects");
        ASSERT_TRUE(catalog);
        auto pages = catalog->ownedPages();
        ASSERT_TRUE(pages);
        EXPECT_GT(pages->size(), 1u) << "the catalog rows should need more than page 14";
    }
    EXPECT_TRUE(checksConsistent(file));
    if (missingReaders().empty()) expectMdbToolsAgree(file);
    fs::remove(file);
}

// What check says of a changed byte: index entries and the free-page map are notes (the tables
// are read by their usage maps); a negative entry of a reference map names no page, as in Jet.
// Stale counts of Access's tables are met in testV2000.mdb, damage in the reader's tests.
TEST_F(SnapshotFile, CheckTellsNotesFromDamage) {
    const std::vector<uint8_t> bytes = fileBytes(s_file);
    ASSERT_GT(bytes.size(), 2 * 4096u);
    const std::size_t lastPage = bytes.size() / 4096 - 1;
    const std::size_t globalMap = 4096 + (getU16(&bytes[4096 + 14]) & 0x1FFF);
    const std::vector<std::tuple<const char*, std::size_t, char, int, const char*>> cases = {
        {"catalog index entry", 7 * 4096 + 0x1E0 + 6, 0x01, 0,
         "nota: table MSysObjects, index (ParentId, Name): wrong key for page 14"},
        // The free-page map is a reference map here, its 0x05 page the last of the file.
        {"free-page map", lastPage * 4096 + 4 + 2, 0x01, 0,
         "nota: page 16 is in use by the table at page 16 but the free-page map marks it free"},
        {"negative map entry", globalMap + 1 + 4 + 3, static_cast<char>(0x80), 0, ": coherente"},
    };
    for (const auto& [what, offset, value, exitCode, message] : cases) {
        const std::string changed = s_dir->filePath("changed.mdb").toStdString();
        fs::remove(changed);  // MinGW's copy_file takes any two files of a drive for the same
        fs::copy_file(s_file, changed);
        std::fstream(changed, std::ios::in | std::ios::out | std::ios::binary)
            .seekp(static_cast<std::streamoff>(offset))
            .put(value);
        const ToolOutput check = lumaroMdb({"check", changed});
        EXPECT_EQ(check.exitCode, exitCode) << what << ": " << check.out;
        EXPECT_NE(check.out.find(message), std::string::npos) << what << ": " << check.out;
    }
}
