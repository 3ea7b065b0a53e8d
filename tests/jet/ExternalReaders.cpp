#include "ExternalReaders.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

namespace lumaro::jet::testing {

namespace {

std::string nodeModules() { return std::string(LUMARO_SOURCE_DIR) + "/.cache/node/node_modules"; }

const std::string kLumaroMdb = std::string(LUMARO_BINARY_DIR) + "/src/jet/tool/lumaro-mdb";

std::string escapeField(const std::string& s) {
    std::string out;
    for (char c : s) {
        const auto at = std::string_view("\\\t\n\r").find(c);
        out += at == std::string_view::npos ? std::string(1, c) : std::string{'\\', "\\tnr"[at]};
    }
    return out;
}

std::string hex(const Bytes& b) {
    std::string out = "0x";
    for (uint8_t x : b) out += {"0123456789abcdef"[x >> 4], "0123456789abcdef"[x & 15]};
    return out;
}

// A GUID as mdb-reader prints it: lower case, no braces.
std::string repId(const Bytes& b) {
    std::string g = guidToString(b);
    std::ranges::transform(g, g.begin(), [](unsigned char c) { return std::tolower(c); });
    return g.empty() ? hex(b) : g.substr(1, g.size() - 2);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// The record count of lumaro-mdb's JSON export as Python's json module reads it.
std::string jsonRecordCount(const std::string& file, const std::string& table) {
    const ToolOutput r = runTool({"sh", "-c",
                                  "\"$0\" export \"$1\" \"$2\" --json | python3 -c "
                                  "'import json,sys; print(len(json.load(sys.stdin)))'",
                                  kLumaroMdb, file, table});
    return r.ok() ? r.out.substr(0, r.out.find('\n')) : "error: " + r.err;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::string typeName(ColumnType type) {  // as mdb-reader names it, by Jet type code
    static const std::vector<std::string> names = {
        "?",      "boolean", "byte", "integer", "long", "currency", "float", "double", "datetime",
        "binary", "text",    "ole",  "memo",    "?",    "?",        "repid", "numeric"};
    return names.at(static_cast<std::size_t>(type));
}

// Sorts each run of lines that start with "row ".
std::vector<std::string> sortRowRuns(std::vector<std::string> v) {
    const auto isRow = [](const std::string& l) { return l.rfind("row ", 0) == 0; };
    for (auto it = v.begin(); it != v.end();) {
        const auto end = std::find_if_not(it, v.end(), isRow);
        std::sort(it, end);
        it = end == it ? it + 1 : end;
    }
    return v;
}

// Reports the first line where two long listings differ, rather than all of both.
void expectSameLines(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
                     const std::string& what) {
    const auto diff = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    if (diff.first == ours.end() && diff.second == theirs.end()) return;
    ADD_FAILURE() << what << ": line " << (diff.first - ours.begin()) + 1
                  << " differs\n ours:   " << (diff.first == ours.end() ? "(end)" : *diff.first)
                  << "\n theirs: " << (diff.second == theirs.end() ? "(end)" : *diff.second);
}

// The column lines of mdb-schema's (or our) DDL: "\t[name]\t\t\tType (n) NOT NULL".
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

}  // namespace

ToolOutput runTool(const std::vector<std::string>& argv) {
    QStringList args;
    for (const std::string& a : argv) args << QString::fromStdString(a);
    QProcess p;
    p.start(args.takeFirst(), args);
    if (!p.waitForStarted(-1) || !p.waitForFinished(-1)) return {};
    QByteArray out = p.readAllStandardOutput(), err = p.readAllStandardError();
#ifdef _WIN32
    // A Windows program's text output ends its lines with CR LF.
    out.replace("\r\n", "\n");
    err.replace("\r\n", "\n");
#endif
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, out.toStdString(),
            err.toStdString()};
}

std::string missingReaders() {
    std::string missing;
    if (!runTool({"which", "mdb-tables", "mdb-schema", "mdb-export"}).ok())
        missing += "mdbtools (apt-get install mdbtools) ";
    if (!runTool({"which", "node"}).ok() ||
        !std::filesystem::exists(nodeModules() + "/mdb-reader/package.json"))
        missing += "mdb-reader (scripts/setup.sh installs it) ";
    return missing.empty() ? "" : "missing " + missing;
}

ToolOutput lumaroMdb(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kLumaroMdb};
    argv.insert(argv.end(), args.begin(), args.end());
    return runTool(argv);
}

std::string canonicalRow(const std::vector<Column>& columns, const std::vector<Value>& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out += '\t';
        const Value& v = values[i];
        if (isNull(v)) {
            out += "\\N";
        } else if (const auto* b = std::get_if<bool>(&v)) {
            out += *b ? "1" : "0";
        } else if (const auto* n = std::get_if<int64_t>(&v)) {
            out += std::to_string(*n);
        } else if (const auto* d = std::get_if<double>(&v)) {
            const auto bits = std::bit_cast<std::array<uint8_t, 8>>(*d);  // in host byte order
            out += hex(Bytes(bits.begin(), bits.end()));
        } else if (const auto* c = std::get_if<Currency>(&v)) {
            out += c->toString();
        } else if (const auto* t = std::get_if<DateTime>(&v)) {
            out += t->toString();
        } else if (const auto* s = std::get_if<std::string>(&v)) {
            out += escapeField(*s);
        } else if (const auto* bytes = std::get_if<Bytes>(&v)) {
            out += i < columns.size() && columns[i].type == ColumnType::Guid ? repId(*bytes)
                                                                             : hex(*bytes);
        }
    }
    return out;
}

::testing::AssertionResult checksConsistent(const std::string& file) {
    const ToolOutput r = lumaroMdb({"check", file});
    if (r.ok() && r.out == file + ": coherente\n") return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << r.out << r.err;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> csvRecords(const std::string& csv) {
    std::vector<std::string> records(1);
    bool quoted = false;
    for (char c : csv) {
        if (c == '"') quoted = !quoted;
        if (c == '\n' && !quoted)
            records.emplace_back();
        else
            records.back() += c;
    }
    if (records.back().empty()) records.pop_back();
    return records;
}

void expectMdbToolsAgree(const std::string& file) {
    Result<Database> db = Database::open(file);
    ASSERT_TRUE(db) << db.status().message();
    const ToolOutput tables = runTool({"mdb-tables", "-1", file});
    ASSERT_TRUE(tables.ok()) << tables.err;
    EXPECT_EQ(db->tableNames(), lines(tables.out));
    const ToolOutput schema = runTool({"mdb-schema", file}),
                     ourSchema = lumaroMdb({"schema", file});
    ASSERT_TRUE(schema.ok() && ourSchema.ok()) << schema.err << ourSchema.err;
    EXPECT_EQ(schemaColumnLines(ourSchema.out), schemaColumnLines(schema.out));
    std::string ourTables;  // lumaro-mdb tables: names and the row counts mdb-export finds
    for (const std::string& name : db->tableNames()) {
        const ToolOutput theirs = runTool({"mdb-export", file, name}),
                         ours = lumaroMdb({"export", file, name});
        ASSERT_TRUE(theirs.ok() && ours.ok()) << name << ": " << theirs.err << ours.err;
        const auto a = csvRecords(ours.out), b = csvRecords(theirs.out);
        ASSERT_FALSE(a.empty() || b.empty()) << name;
        EXPECT_EQ(a.front(), b.front()) << name;  // the header
        expectSameLines(sorted(a), sorted(b), "mdb-export " + name);
        const std::string rows = std::to_string(b.size() - 1);
        ourTables += name + "\t" + rows + "\n";
        EXPECT_EQ(jsonRecordCount(file, name), rows) << name;
    }
    EXPECT_EQ(lumaroMdb({"tables", file}).out, ourTables);
}

void expectMdbReaderAgrees(const std::string& file) {
    std::vector<std::string> ours;
    Result<Database> db = Database::open(file);
    ASSERT_TRUE(db) << db.status().message();
    for (const std::string& name : sorted(db->tableNames())) {
        Result<Table> t = db->table(name);
        ASSERT_TRUE(t) << t.status().message();
        ours.push_back("table " + escapeField(name) + "\t" + std::to_string(t->storedRowCount()));
        for (const Column& c : t->columns())
            ours.push_back("column " + escapeField(c.name) + "\t" + typeName(c.type));
        const Status s = t->forEachRow([&](const Row& r) {
            ours.push_back("row " + canonicalRow(t->columns(), r.values()));
            return true;
        });
        ASSERT_TRUE(s) << s.message();
    }
    const ToolOutput theirs =
        runTool({"node", std::string(LUMARO_SOURCE_DIR) + "/tests/jet/mdb_reader_rows.mjs",
                 nodeModules(), file});
    ASSERT_TRUE(theirs.ok()) << theirs.err;
    expectSameLines(sortRowRuns(ours), sortRowRuns(lines(theirs.out)), "mdb-reader");
}

}  // namespace lumaro::jet::testing
