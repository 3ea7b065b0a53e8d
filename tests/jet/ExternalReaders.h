#pragma once
// Independent readers of Jet files (mdbtools, mdb-reader) and their comparisons with this engine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/Reader.h"

namespace lumaro::jet::testing {

// The shared Jet fixtures; tests that need them skip, saying so, when the folder is absent.
inline const std::string kFixtures = LUMARO_SHARED_DIR "/fixtures/jet";

struct ToolOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
    bool ok() const { return exitCode == 0; }
};

// Runs a program (looked up on PATH) with arguments, no shell, capturing both streams.
ToolOutput runTool(const std::vector<std::string>& argv);

// Why a test skips: empty when mdbtools and mdb-reader (node and its npm package) are present.
std::string missingReaders();

// The built lumaro-mdb tool.
ToolOutput lumaroMdb(const std::vector<std::string>& args);

// lumaro-mdb check on a file this engine wrote or changed: consistent, not even a note.
::testing::AssertionResult checksConsistent(const std::string& file);

// mdb-tables, mdb-schema and mdb-export against this engine and lumaro-mdb; differences fail.
void expectMdbToolsAgree(const std::string& file);
// mdb-reader against this engine: tables, columns, row counts and every row, in any order.
void expectMdbReaderAgrees(const std::string& file);

// One row as mdb_reader_rows.mjs prints it: tab-joined, NULL \N, Yes/No 1/0, dates, 0x hex
// (floating point: its bytes).
std::string canonicalRow(const std::vector<Column>& columns, const std::vector<Value>& values);

// The bytes of a file; empty when it cannot be read.
std::vector<uint8_t> fileBytes(const std::string& path);

// CSV text split into records (quote-aware: a record may span lines), without the line ends.
std::vector<std::string> csvRecords(const std::string& csv);

}  // namespace lumaro::jet::testing
