#pragma once
// Independent readers of Jet files for the tests: mdbtools (mdb-tables, mdb-schema, mdb-export)
// and the npm package mdb-reader, and the comparisons of what they read with this engine.

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

// Why a test skips: empty when mdbtools and mdb-reader (node and
// <source>/.cache/node/node_modules/mdb-reader) are both present.
std::string missingReaders();

// The built lumaro-mdb tool.
ToolOutput lumaroMdb(const std::vector<std::string>& args);

// mdb-tables, mdb-schema (columns, types, sizes, NOT NULL) and mdb-export against this engine's
// reader and lumaro-mdb's tables, schema and export; differences are test failures.
void expectMdbToolsAgree(const std::string& file);
// mdb-reader against this engine's reader: tables, columns, NOT NULL, row counts and every row
// (in any order: mdb-reader meets moved rows at their new home).
void expectMdbReaderAgrees(const std::string& file);

// One row in the canonical form of mdb_reader_rows.mjs: fields joined by tabs; NULL as \N;
// Yes/No 1/0; Single and Double in exponent form; dates "yyyy/mm/dd hh:mm:ss"; bytes as 0x hex;
// GUIDs as mdb-reader prints them.
std::string canonicalRow(const std::vector<Column>& columns, const std::vector<Value>& values);

// The bytes of a file; empty when it cannot be read.
std::vector<uint8_t> fileBytes(const std::string& path);

// CSV text split into records (quote-aware: a record may span lines), without the line ends.
std::vector<std::string> csvRecords(const std::string& csv);

}  // namespace lumaro::jet::testing
