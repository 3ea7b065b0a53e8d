#include "ExternalReaders.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace lumaro::jet::testing {

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string nodeModules() { return std::string(LUMARO_SOURCE_DIR) + "/.cache/node/node_modules"; }

// A number as JavaScript's String(n) prints it.
std::string jsNumber(double v) {
    if (v == 0) return "0";
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
    std::string sci(buf, r.ptr);
    const auto e = sci.find('e');
    std::string digits = sci.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int n = std::stoi(sci.substr(e + 1)) + 1;  // position of the decimal point
    const int k = static_cast<int>(digits.size());
    std::string out = v < 0 ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits + std::string(static_cast<std::size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, static_cast<std::size_t>(n)) + "." +
               digits.substr(static_cast<std::size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1) out += "." + digits.substr(1);
        out += (n - 1 >= 0 ? "e+" : "e-") + std::to_string(std::abs(n - 1));
    }
    return out;
}

std::string escapeField(const std::string& s) {
    std::string out;
    for (char c : s) {
        const char* e = c == '\\'   ? "\\\\"
                        : c == '\t' ? "\\t"
                        : c == '\n' ? "\\n"
                        : c == '\r' ? "\\r"
                                    : nullptr;
        if (e)
            out += e;
        else
            out += c;
    }
    return out;
}

std::string hex(const Bytes& b) {
    static const char* d = "0123456789abcdef";
    std::string out = "0x";
    for (uint8_t x : b) {
        out += d[x >> 4];
        out += d[x & 15];
    }
    return out;
}

// A GUID as mdb-reader prints it: lower case, no braces.
std::string repId(const Bytes& b) {
    std::string g = guidToString(b);
    if (g.empty()) return hex(b);
    std::string out;
    for (char c : g.substr(1, g.size() - 2)) out += static_cast<char>(std::tolower(c));
    return out;
}

std::vector<std::string> splitTabs(const std::string& s) {
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, '\t');) parts.push_back(part);
    return parts;
}

}  // namespace

ToolOutput runTool(const std::vector<std::string>& argv) {
    ToolOutput result;
    char outName[] = "/tmp/jet-tool-out-XXXXXX";
    char errName[] = "/tmp/jet-tool-err-XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    if (outFd < 0 || errFd < 0) return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0) ::waitpid(pid, &status, 0);
    ::close(outFd);
    ::close(errFd);
    result.out = slurp(outName);
    result.err = slurp(errName);
    ::unlink(outName);
    ::unlink(errName);
    result.exitCode = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool haveMdbTools() { return onPath("mdb-tables") && onPath("mdb-schema") && onPath("mdb-export"); }

bool haveMdbReader() {
    return onPath("node") && std::filesystem::exists(nodeModules() + "/mdb-reader/package.json");
}

std::string missingReaders() {
    std::string missing;
    if (!haveMdbTools()) missing += "mdbtools (apt-get install mdbtools) ";
    if (!haveMdbReader()) missing += "mdb-reader (scripts/setup.sh installs it) ";
    return missing.empty() ? "" : "missing " + missing;
}

ToolOutput mdbTables(const std::string& file) { return runTool({"mdb-tables", "-1", file}); }
ToolOutput mdbSchema(const std::string& file) { return runTool({"mdb-schema", file}); }

ToolOutput mdbExport(const std::string& file, const std::string& table,
                     const std::vector<std::string>& options) {
    std::vector<std::string> argv{"mdb-export"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(file);
    argv.push_back(table);
    return runTool(argv);
}

std::string lumaroMdbPath() { return std::string(LUMARO_BINARY_DIR) + "/src/jet/tool/lumaro-mdb"; }

ToolOutput lumaroMdb(const std::vector<std::string>& args) {
    std::vector<std::string> argv{lumaroMdbPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runTool(argv);
}

ReaderDump mdbReaderDump(const std::string& file, bool systemTables) {
    ReaderDump dump;
    std::vector<std::string> argv{"node",
                                  std::string(LUMARO_SOURCE_DIR) + "/tests/jet/mdb_reader_rows.mjs",
                                  nodeModules(), file};
    if (systemTables) argv.push_back("--system");
    dump.raw = runTool(argv);
    std::istringstream lines(dump.raw.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("table ", 0) == 0) {
            const auto parts = splitTabs(line.substr(6));
            ReaderTable t;
            t.name = parts[0];
            if (parts.size() > 1) t.rowCount = std::stol(parts[1]);
            dump.tables.push_back(std::move(t));
        } else if (dump.tables.empty()) {
            continue;
        } else if (line.rfind("column ", 0) == 0) {
            const auto parts = splitTabs(line.substr(7));
            if (parts.size() == 4) {
                dump.tables.back().columns.push_back(
                    {parts[0], parts[1], std::stoi(parts[2]), parts[3] == "1"});
            }
        } else if (line.rfind("row ", 0) == 0) {
            dump.tables.back().rows.push_back(line.substr(4));
        } else if (line.rfind("error ", 0) == 0) {
            dump.tables.back().error = line.substr(6);
        }
    }
    return dump;
}

std::string mdbReaderTypeName(ColumnType type) {
    static const std::map<ColumnType, std::string> names = {
        {ColumnType::Boolean, "boolean"},   {ColumnType::Byte, "byte"},
        {ColumnType::Integer, "integer"},   {ColumnType::Long, "long"},
        {ColumnType::Currency, "currency"}, {ColumnType::Single, "float"},
        {ColumnType::Double, "double"},     {ColumnType::DateTime, "datetime"},
        {ColumnType::Binary, "binary"},     {ColumnType::Text, "text"},
        {ColumnType::Ole, "ole"},           {ColumnType::Memo, "memo"},
        {ColumnType::Guid, "repid"},        {ColumnType::Numeric, "numeric"}};
    const auto it = names.find(type);
    return it == names.end() ? "unknown" : it->second;
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
            out += jsNumber(*d);
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

std::vector<std::string> csvRecords(const std::string& csv) {
    std::vector<std::string> records;
    std::string current;
    bool quoted = false;
    for (char c : csv) {
        if (c == '"') quoted = !quoted;
        if (c == '\n' && !quoted) {
            records.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) records.push_back(current);
    return records;
}

}  // namespace lumaro::jet::testing
