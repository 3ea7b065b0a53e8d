// The reading commands of lumaro-mdb: tables, schema and export.

#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "jet/Reader.h"
#include "jet/tool/Commands.h"
#include "jet/tool/ValueText.h"

namespace lumaro::jet::tool {

namespace {

constexpr int kExitDamaged = 1;

// Opens the file or says why not on standard error.
bool openOrComplain(const std::string& path, Database& out) {
    Result<Database> db = Database::open(path);
    if (!db) {
        std::cerr << "lumaro-mdb: " << path << ": " << db.status().message() << "\n";
        return false;
    }
    out = std::move(db.value());
    return true;
}

}  // namespace

int tables(const Args& args) {
    Database db;
    if (!openOrComplain(args[0], db)) return kExitDamaged;
    for (const std::string& name : db.tableNames()) std::cout << name << "\n";
    return 0;
}

int schema(const Args& args) {
    Database db;
    if (!openOrComplain(args[0], db)) return kExitDamaged;
    int status = 0;
    for (const std::string& name : db.tableNames()) {
        Result<Table> t = db.table(name);
        if (!t) {
            std::cerr << "lumaro-mdb: " << args[0] << ": " << t.status().message() << "\n";
            status = kExitDamaged;
            continue;
        }
        std::cout << "CREATE TABLE [" << name << "]\n (\n";
        const auto& cols = t->columns();
        for (std::size_t i = 0; i < cols.size(); ++i) {
            std::cout << "\t[" << cols[i].name << "]\t\t\t" << schemaTypeName(cols[i])
                      << (cols[i].required || cols[i].type == ColumnType::Boolean ? " NOT NULL"
                                                                                  : "")
                      << (i + 1 < cols.size() ? ", " : "") << "\n";
        }
        std::cout << ");\n\n";
    }
    return status;
}

int exportTable(const Args& args) {
    Database db;
    if (!openOrComplain(args[0], db)) return kExitDamaged;
    Result<Table> t = db.table(args[1]);
    if (!t) {
        std::cerr << "lumaro-mdb: " << args[0] << ": " << t.status().message() << "\n";
        return t.status().code() == Status::Code::NotFound ? 2 : kExitDamaged;
    }
    const auto& cols = t->columns();
    std::string line;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i) line += ',';
        line += cols[i].name;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    Status s = t->forEachRow([&](const Row& row) {
        line.clear();
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (i) line += ',';
            appendCsvField(cols[i], row[i], line);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        return true;
    });
    std::fflush(stdout);
    if (!s) {
        std::cerr << "lumaro-mdb: " << args[0] << ": " << s.message() << "\n";
        return kExitDamaged;
    }
    return 0;
}

}  // namespace lumaro::jet::tool
