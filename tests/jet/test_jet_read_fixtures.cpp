// Every Jet file in the shared fixtures, read by this engine and by mdbtools and mdb-reader:
// the same tables, columns, row counts and values.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

class JetFixture : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "none") GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
        path = kFixtures + "/" + GetParam();
    }
    std::string path;
};

TEST_P(JetFixture, MatchesMdbToolsAndMdbReader) {
    if (!missingReaders().empty()) GTEST_SKIP() << missingReaders();
    expectMdbToolsAgree(path);
    expectMdbReaderAgrees(path);
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
