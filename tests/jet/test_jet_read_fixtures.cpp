// Every Jet file in the shared fixtures, read by this engine and by mdbtools and mdb-reader:
// the same tables, columns, row counts and values.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "ExternalReaders.h"
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

// mdb-tables, mdb-schema and mdb-export against this engine and lumaro-mdb's tables, schema and
// export.
TEST_P(JetFixture, MatchesMdbTools) {
    if (!haveMdbTools()) GTEST_SKIP() << missingReaders();
    const ToolOutput tables = mdbTables(path);
    ASSERT_TRUE(tables.ok()) << tables.err;
    EXPECT_EQ(db.tableNames(), lines(tables.out));
    EXPECT_EQ(lumaroMdb({"tables", path}).out, tables.out);
    const ToolOutput schema = mdbSchema(path), ourSchema = lumaroMdb({"schema", path});
    ASSERT_TRUE(schema.ok() && ourSchema.ok()) << schema.err << ourSchema.err;
    EXPECT_EQ(schemaColumnLines(ourSchema.out), schemaColumnLines(schema.out));
    for (const std::string& name : db.tableNames()) {
        SCOPED_TRACE(name);
        const ToolOutput theirs = mdbExport(path, name), ours = lumaroMdb({"export", path, name});
        ASSERT_TRUE(theirs.ok() && ours.ok()) << theirs.err << ours.err;
        const auto a = csvRecords(ours.out), b = csvRecords(theirs.out);
        ASSERT_FALSE(a.empty());
        EXPECT_EQ(a.front(), b.front());  // the header
        EXPECT_EQ(sorted(a), sorted(b));
    }
}

// lumaro-mdb check: Access's indexes on text and Long columns agree with the keys this engine
// computes. One file really holds fewer rows in its stored count than in MSysACEs.
TEST_P(JetFixture, CheckFindsItConsistent) {
    const bool known = GetParam() == "testV2000.mdb";
    const ToolOutput check = lumaroMdb({"check", path});
    EXPECT_EQ(check.out, path + (known ? ": table MSysACEs: stored row count 61, scan found 64\n"
                                       : ": consistent\n"));
    EXPECT_EQ(check.exitCode, known ? 1 : 0);
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

INSTANTIATE_TEST_SUITE_P(Jet, JetFixture, ::testing::ValuesIn(fixtureFiles()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return n;
                         });

// Tables, columns and fields are found by name in any case; what is not there is reported.
TEST(JetFixtureNames, FoundInAnyCase) {
    if (!std::filesystem::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    Result<Database> db = Database::open(kFixtures + "/testV2000.mdb");
    ASSERT_TRUE(db) << db.status().message();
    EXPECT_EQ(db->table("Cliente").status().code(), Status::Code::NotFound);
    EXPECT_TRUE(db->table("msysobjects"));  // system tables are found by name too
    Result<Table> t = db->table("TABLE1");  // stored as "Table1"
    ASSERT_TRUE(t) << t.status().message();
    EXPECT_EQ(t->name(), "Table1");
    ASSERT_NE(t->column("a"), nullptr);
    EXPECT_EQ(t->column("a")->name, "A");
    Status s = t->forEachRow([&](const Row& r) {
        EXPECT_EQ(r.field("I"), &r[8]);
        EXPECT_EQ(r.field("nope"), nullptr);
        return true;
    });
    ASSERT_TRUE(s) << s.message();
}

}  // namespace
