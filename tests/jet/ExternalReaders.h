#pragma once
// Independent readers of Jet files for the tests: mdbtools (mdb-tables, mdb-schema, mdb-export)
// and the npm package mdb-reader, plus the canonical forms in which their output and this
// engine's values are compared. Shared by the reader and writer tests; the interface is stable.

#include <string>
#include <vector>

#include "jet/Reader.h"

namespace lumaro::jet::testing {

struct ToolOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
    bool ok() const { return exitCode == 0; }
};

// Runs a program (looked up on PATH) with arguments, no shell, capturing both streams.
ToolOutput runTool(const std::vector<std::string>& argv);

bool haveMdbTools();   // mdb-tables, mdb-schema and mdb-export on PATH
bool haveMdbReader();  // node on PATH and mdb-reader under <source>/.cache/node/node_modules
// Why a test skips: empty when both readers are present.
std::string missingReaders();

ToolOutput mdbTables(const std::string& file);  // mdb-tables -1
ToolOutput mdbSchema(const std::string& file);
ToolOutput mdbExport(const std::string& file, const std::string& table,
                     const std::vector<std::string>& options = {});

// The built lumaro-mdb tool.
std::string lumaroMdbPath();
ToolOutput lumaroMdb(const std::vector<std::string>& args);

// mdb-reader's view of a file (tests/jet/mdb_reader_rows.mjs), parsed.
struct ReaderColumn {
    std::string name;
    std::string type;  // mdb-reader's type name: "long", "text", "boolean", ...
    int size = 0;
    bool nullable = false;
};
struct ReaderTable {
    std::string name;
    long rowCount = 0;
    std::vector<ReaderColumn> columns;
    std::vector<std::string> rows;  // canonical rows, in mdb-reader's order
    std::string error;              // set when mdb-reader could not read the table
};
struct ReaderDump {
    ToolOutput raw;
    std::vector<ReaderTable> tables;
};
ReaderDump mdbReaderDump(const std::string& file, bool systemTables = false);

// mdb-reader's type name for a column type.
std::string mdbReaderTypeName(ColumnType type);

// One row in the canonical form of mdb_reader_rows.mjs: fields joined by tabs; NULL as \N;
// Yes/No 1/0; numbers as JavaScript prints them; dates "yyyy/mm/dd hh:mm:ss"; bytes as 0x hex;
// GUIDs as mdb-reader prints them.
std::string canonicalRow(const std::vector<Column>& columns, const std::vector<Value>& values);

// CSV text split into records (quote-aware: a record may span lines), without the line ends.
std::vector<std::string> csvRecords(const std::string& csv);

}  // namespace lumaro::jet::testing
