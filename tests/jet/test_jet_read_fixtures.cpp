// Every Jet file in the shared fixtures, read by this engine and by mdbtools and mdb-reader:
// the same tables, columns, row counts and values; lumaro-mdb's commands on them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ExternalReaders.h"
#include "jet/Reader.h"

using namespace lumaro::jet;
using namespace lumaro::jet::testing;

namespace {

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

// lumaro-mdb check: Access's indexes on text and Long columns agree with the keys this engine
// computes. One file really holds fewer rows in its stored count than in MSysACEs.
TEST_P(JetFixture, MatchesMdbToolsAndMdbReaderAndChecks) {
    const bool known = GetParam() == "testV2000.mdb";
    const ToolOutput check = lumaroMdb({"check", path});
    EXPECT_EQ(check.out, path + (known ? ": table MSysACEs: stored row count 61, scan found 64\n"
                                       : ": consistent\n"));
    EXPECT_EQ(check.exitCode, known ? 1 : 0);
    if (!missingReaders().empty()) GTEST_SKIP() << missingReaders();
    expectMdbToolsAgree(path);
    expectMdbReaderAgrees(path);
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

// lumaro-mdb's command line: usage, exit statuses and the messages for files it cannot read.
// A copy of a fixture cut to 9000 bytes, in the build folder.
std::string truncatedFixture() {
    const std::string path = std::string(LUMARO_BINARY_DIR) + "/jet-truncated.mdb";
    const std::vector<uint8_t> bytes = fileBytes(kFixtures + "/testV2000.mdb");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               std::min<std::streamsize>(9000, bytes.size()));
    return path;
}

struct ToolCase {
    const char* name;
    std::vector<std::string> args;  // "@T" stands for testV2000.mdb, "@X" for a truncated copy
    int exitCode;
    const char* stream;  // "out" or "err"
    const char* text;    // a part of that stream
};

void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

class LumaroMdb : public ::testing::TestWithParam<ToolCase> {};

TEST_P(LumaroMdb, ExitStatusAndMessage) {
    const ToolCase& c = GetParam();
    if (!std::filesystem::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    std::vector<std::string> args;
    for (const std::string& a : c.args) {
        args.push_back(a == "@T"   ? kFixtures + "/testV2000.mdb"
                       : a == "@X" ? truncatedFixture()
                                   : a);
    }
    const ToolOutput r = lumaroMdb(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    const std::string& stream = std::string(c.stream) == "out" ? r.out : r.err;
    EXPECT_NE(stream.find(c.text), std::string::npos) << stream;
}

INSTANTIATE_TEST_SUITE_P(
    Jet, LumaroMdb,
    ::testing::Values(
        ToolCase{"Help", {"--help"}, 0, "out", "export FILE TABLE"},
        ToolCase{"NoCommand", {}, 2, "err", "usage: lumaro-mdb COMMAND"},
        ToolCase{"UnknownCommand", {"dump", "@T"}, 2, "err", "unknown command \"dump\""},
        ToolCase{
            "MissingArgument", {"export", "@T"}, 2, "err", "usage: lumaro-mdb export FILE TABLE"},
        ToolCase{"ExportAnyCase", {"export", "@T", "TABLE1"}, 0, "out", "A,B,C,D,E,F,G,H,I\n"},
        ToolCase{"NoSuchTable", {"export", "@T", "Nope"}, 2, "err", "no table \"Nope\""},
        ToolCase{"NoSuchFile", {"tables", "/nonexistent/x.mdb"}, 1, "err", "cannot open"},
        ToolCase{"Truncated",
                 {"tables", "@X"},
                 1,
                 "err",
                 "file size 9000 is not a whole number of 4096-byte pages"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
