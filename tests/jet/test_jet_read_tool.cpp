// lumaro-mdb's command line: usage, exit statuses and the messages for files it cannot read.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ExternalReaders.h"

using namespace lumaro::jet::testing;

namespace {

const std::string kFixtures = std::string(LUMARO_SHARED_DIR) + "/fixtures/jet";

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
