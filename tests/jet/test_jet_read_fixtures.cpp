// Every Jet file in the shared fixtures, read by this engine and by mdbtools and mdb-reader:
// the same tables, columns, row counts and values.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "ExternalReaders.h"
#include "jet/Coding.h"
#include "jet/Reader.h"

using namespace lumaro::jet;
using namespace lumaro::jet::testing;

namespace {

const std::string kFixtures = std::string(LUMARO_SHARED_DIR) + "/fixtures/jet";

std::vector<std::string> fixtureFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(kFixtures, ec)) {
        if (e.path().extension() == ".mdb") files.push_back(e.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) files.push_back("none");  // the test then skips, saying why
    return files;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// The column lines of mdb-schema's (or our) DDL: "\t[name]\t\t\tType (n) NOT NULL,".
std::vector<std::string> schemaColumnLines(const std::string& ddl) {
    std::vector<std::string> out;
    for (std::string l : lines(ddl)) {
        if (l.rfind("CREATE TABLE", 0) == 0 || l.rfind("\t[", 0) == 0) {
            while (!l.empty() && (l.back() == ' ' || l.back() == ',')) l.pop_back();
            out.push_back(l);
        }
    }
    return out;
}

class JetFixture : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "none") GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
        path = kFixtures + "/" + GetParam();
        Result<Database> opened = Database::open(path);
        ASSERT_TRUE(opened) << opened.status().message();
        db = std::move(opened.value());
    }
    std::string path;
    Database db;
};

TEST_P(JetFixture, TablesMatchMdbTools) {
    if (!haveMdbTools()) GTEST_SKIP() << missingReaders();
    const ToolOutput theirs = mdbTables(path);
    ASSERT_TRUE(theirs.ok()) << theirs.err;
    EXPECT_EQ(db.tableNames(), lines(theirs.out));
    const ToolOutput ours = lumaroMdb({"tables", path});
    EXPECT_EQ(ours.out, theirs.out);
}

TEST_P(JetFixture, RowsMatchMdbReader) {
    if (!haveMdbReader()) GTEST_SKIP() << missingReaders();
    const ReaderDump dump = mdbReaderDump(path);
    ASSERT_TRUE(dump.raw.ok()) << dump.raw.err;
    ASSERT_EQ(dump.tables.size(), db.tableNames().size());
    for (const ReaderTable& theirs : dump.tables) {
        SCOPED_TRACE(theirs.name);
        ASSERT_TRUE(theirs.error.empty()) << theirs.error;
        Result<Table> t = db.table(theirs.name);
        ASSERT_TRUE(t) << t.status().message();
        ASSERT_EQ(t->columns().size(), theirs.columns.size());
        for (std::size_t i = 0; i < theirs.columns.size(); ++i) {
            EXPECT_EQ(t->columns()[i].name, theirs.columns[i].name);
            EXPECT_EQ(mdbReaderTypeName(t->columns()[i].type), theirs.columns[i].type);
        }
        std::vector<std::string> ours;
        Status s = t->forEachRow([&](const Row& r) {
            ours.push_back(canonicalRow(t->columns(), r.values()));
            return true;
        });
        ASSERT_TRUE(s) << s.message();
        EXPECT_EQ(static_cast<long>(t->storedRowCount()), theirs.rowCount);
        EXPECT_EQ(ours.size(), t->storedRowCount());
        // mdb-reader does not follow moved rows but meets them at their new home, so the
        // order may differ; the rows must not.
        EXPECT_EQ(sorted(ours), sorted(theirs.rows));
    }
}

TEST_P(JetFixture, ExportMatchesMdbExport) {
    if (!haveMdbTools()) GTEST_SKIP() << missingReaders();
    for (const std::string& name : db.tableNames()) {
        SCOPED_TRACE(name);
        const ToolOutput theirs = mdbExport(path, name);
        const ToolOutput ours = lumaroMdb({"export", path, name});
        ASSERT_TRUE(theirs.ok()) << theirs.err;
        ASSERT_TRUE(ours.ok()) << ours.err;
        const auto a = csvRecords(ours.out), b = csvRecords(theirs.out);
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a.front(), b.front());  // the header
        EXPECT_EQ(sorted(a), sorted(b));
    }
}

TEST_P(JetFixture, SchemaMatchesMdbSchema) {
    if (!haveMdbTools()) GTEST_SKIP() << missingReaders();
    const ToolOutput theirs = mdbSchema(path);
    const ToolOutput ours = lumaroMdb({"schema", path});
    ASSERT_TRUE(theirs.ok()) << theirs.err;
    ASSERT_TRUE(ours.ok()) << ours.err;
    EXPECT_EQ(schemaColumnLines(ours.out), schemaColumnLines(theirs.out));
}

INSTANTIATE_TEST_SUITE_P(Jet, JetFixture, ::testing::ValuesIn(fixtureFiles()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return n;
                         });

// Tests on one fixture file each; they skip when the fixtures are absent.
class JetFixtureValues : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    }
    // A table of a fixture file (the table keeps the file open).
    static Result<Table> fixtureTable(const std::string& file, const std::string& table) {
        Result<Database> db = Database::open(kFixtures + "/" + file);
        if (!db) return db.status();
        return db->table(table);
    }
};

// Values checked by type on the Access-made mixed table, not only through a text form.
TEST_F(JetFixtureValues, TypedFieldsOfAccessTable) {
    Result<Table> t = fixtureTable("testV2000.mdb", "TABLE1");  // stored as "Table1"
    ASSERT_TRUE(t) << t.status().message();
    EXPECT_EQ(t->name(), "Table1");
    ASSERT_NE(t->column("g"), nullptr);
    EXPECT_EQ(t->column("g")->type, ColumnType::DateTime);
    EXPECT_EQ(t->column("a")->size, 50);
    EXPECT_FALSE(t->column("A")->required);
    std::vector<std::vector<Value>> rows;
    Status s = t->forEachRow([&](const Row& r) {
        rows.push_back(r.values());
        EXPECT_EQ(r.field("i"), &r[8]);
        EXPECT_EQ(r.field("nope"), nullptr);
        return true;
    });
    ASSERT_TRUE(s) << s.message();
    ASSERT_EQ(rows.size(), 2u);
    const auto& r = rows[0];
    EXPECT_EQ(std::get<std::string>(r[0]), "abcdefg");
    EXPECT_EQ(std::get<int64_t>(r[2]), 2);
    EXPECT_EQ(std::get<int64_t>(r[3]), 222);
    EXPECT_EQ(std::get<int64_t>(r[4]), 333333333);
    EXPECT_DOUBLE_EQ(std::get<double>(r[5]), 444.555);
    EXPECT_EQ(std::get<DateTime>(r[6]), DateTime::fromParts(1974, 9, 21));
    EXPECT_EQ(std::get<Currency>(r[7]).tenThousandths, 35000);
    EXPECT_TRUE(std::get<bool>(r[8]));
    EXPECT_FALSE(std::get<bool>(rows[1][8]));
}

TEST_F(JetFixtureValues, MovedRowsAreReadWhereTheyLive) {
    Result<Table> t = fixtureTable("overflowTestV2000.mdb", "table1");
    ASSERT_TRUE(t) << t.status().message();
    int moved = 0, rows = 0;
    Status s = t->forEachRow([&](const Row& r) {
        ++rows;
        if (!(r.id() == r.storedAt())) ++moved;
        return true;
    });
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(rows, static_cast<int>(t->storedRowCount()));
    EXPECT_EQ(moved, 2);
}

TEST_F(JetFixtureValues, RequiredComesFromColumnProperties) {
    Result<Table> t = fixtureTable("fixedTextTestV2000.mdb", "USERS");
    ASSERT_TRUE(t) << t.status().message();
    ASSERT_NE(t->column("c_user_login"), nullptr);
    EXPECT_TRUE(t->column("c_user_login")->required);
}

TEST_F(JetFixtureValues, CatalogOfTheEmptyJetDatabase) {
    Result<Database> db = Database::open(kFixtures + "/adox_jet4.mdb");
    ASSERT_TRUE(db) << db.status().message();
    EXPECT_TRUE(db->tableNames().empty());
    EXPECT_EQ(db->catalog().size(), 8u);
    EXPECT_EQ(db->table("Cliente").status().code(), Status::Code::NotFound);
    EXPECT_TRUE(db->table("msysobjects"));  // system tables are found by name too
    EXPECT_EQ(db->codePage(), 1252);
    EXPECT_EQ(db->sortOrder(), 1033);
    // The global map marks every page past the end free; those are left out, not damage.
    Result<std::vector<uint32_t>> freePages = db->usageMapPages(makeRowPointer(1, 0));
    ASSERT_TRUE(freePages) << freePages.status().message();
    EXPECT_TRUE(freePages->empty());
}

}  // namespace
