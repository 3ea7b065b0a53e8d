// The reading commands of lumaro-mdb: tables, schema and export.

#include <cstdio>
#include <iostream>
#include <string>

#include "jet/Reader.h"
#include "jet/tool/Commands.h"
#include "jet/tool/Diagnosis.h"
#include "jet/tool/ValueText.h"

namespace lumaro::jet::tool {

namespace {

void complain(const std::string& path, const std::string& problem) {
    std::cerr << "lumaro-mdb: " << path << ": " << problem << "\n";
}

// Opens the file or says why not on standard error.
bool openOrComplain(const std::string& path, Database& out) {
    Result<Database> db = Database::open(path);
    if (!db) {
        complain(path, explainUnreadable(path, db.status()));
        return false;
    }
    out = std::move(db.value());
    return true;
}

void emit(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

// One line per table, "NAME<tab>ROWS", the rows counted by a scan: a table whose scan fails
// shows "danado" and the reason goes to standard error.
int tables(const Args& args) {
    Database db;
    if (!openOrComplain(args[0], db)) return kExitDamaged;
    int status = 0;
    for (const std::string& name : db.tableNames()) {
        uint64_t rows = 0;
        Result<Table> t = db.table(name);
        Status scanned = t ? t->forEachRow([&](const Row&) {
            ++rows;
            return true;
        })
                           : t.status();
        std::cout << name << "\t" << (scanned ? std::to_string(rows) : "danado") << "\n";
        if (!scanned) {
            std::cout.flush();
            complain(args[0], explainDamage(scanned.message()));
            status = kExitDamaged;
        }
    }
    return status;
}

int schema(const Args& args) {
    Database db;
    if (!openOrComplain(args[0], db)) return kExitDamaged;
    int status = 0;
    for (const std::string& name : db.tableNames()) {
        Result<Table> t = db.table(name);
        if (!t) {
            complain(args[0], explainDamage(t.status().message()));
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
        if (t.status().code() == Status::Code::NotFound) {
            complain(args[0], "no tiene la tabla \"" + args[1] + "\"");
            return kExitUsage;
        }
        complain(args[0], explainDamage(t.status().message()));
        return kExitDamaged;
    }
    const bool json = args.has("--json");
    const auto& cols = t->columns();
    std::string text;
    if (json) {
        text = "[";
    } else {
        appendCsvHeader(cols, text);
    }
    emit(text);
    bool first = true;
    Status s = t->forEachRow([&](const Row& row) {
        text.clear();
        if (json) {
            text += first ? "\n" : ",\n";
            appendJsonObject(cols, row.values(), text);
        } else {
            appendCsvRecord(cols, row.values(), text);
        }
        first = false;
        emit(text);
        return true;
    });
    if (json) emit("\n]\n");
    std::fflush(stdout);
    if (!s) {
        complain(args[0], explainDamage(s.message()));
        return kExitDamaged;
    }
    return 0;
}

}  // namespace lumaro::jet::tool
