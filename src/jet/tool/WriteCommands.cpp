// lumaro-mdb copy and check: the commands built on the writer and the consistency check.
#include <iostream>

#include "jet/Checker.h"
#include "jet/Reader.h"
#include "jet/Writer.h"
#include "jet/tool/Commands.h"
#include "jet/tool/Diagnosis.h"

namespace lumaro::jet::tool {

namespace {

// Copies one table; returns false after reporting on standard error.
bool copyTable(const Table& source, Writer& writer) {
    TableDef def;
    def.name = source.name();
    for (const Column& c : source.columns()) {
        if (!Writer::supportsType(c.type) || (c.type == ColumnType::Text && c.size > 255)) {
            std::cerr << "lumaro-mdb: table " << source.name() << " not copied: column " << c.name
                      << " has a type the writer does not support\n";
            return false;
        }
        def.columns.push_back(c.def());
    }
    Result<Writer::TableHandle> handle = writer.createTable(def);
    if (!handle) {
        std::cerr << "lumaro-mdb: table " << source.name()
                  << " not copied: " << handle.status().message() << "\n";
        return false;
    }
    Status failed;
    Status scanned = source.forEachRow([&](const Row& row) {
        failed = writer.insert(handle.value(), row.values());
        return failed.isOk();
    });
    if (!scanned || !failed) {
        std::cerr << "lumaro-mdb: table " << source.name() << ": "
                  << (!scanned ? scanned.message() : failed.message()) << "\n";
        return false;
    }
    return true;
}

}  // namespace

int copy(const Args& args) {
    Result<Database> source = Database::open(args[0]);
    if (!source) {
        std::cerr << "lumaro-mdb: " << args[0] << ": "
                  << explainUnreadable(args[0], source.status()) << "\n";
        return kExitDamaged;
    }
    Result<std::unique_ptr<Writer>> writer = Writer::create(args[1]);
    if (!writer) {
        std::cerr << "lumaro-mdb: " << writer.status().message() << "\n";  // names the file
        return kExitDamaged;
    }
    bool complete = true;
    for (const std::string& name : source->tableNames()) {
        Result<Table> table = source->table(name);
        if (!table) {
            std::cerr << "lumaro-mdb: table " << name << ": " << table.status().message() << "\n";
            complete = false;
            continue;
        }
        complete = copyTable(table.value(), *writer.value()) && complete;
    }
    Status committed = writer.value()->commit();
    if (!committed) {
        std::cerr << "lumaro-mdb: " << args[1] << ": " << committed.message() << "\n";
        return kExitDamaged;
    }
    return complete ? 0 : 3;
}

int check(const Args& args) {
    Result<CheckReport> report = inspectDatabase(args[0]);
    if (!report) {
        std::cerr << "lumaro-mdb: " << args[0] << ": "
                  << explainUnreadable(args[0], report.status()) << "\n";
        return kExitDamaged;
    }
    for (const std::string& d : report->damage) std::cout << args[0] << ": " << d << "\n";
    for (const std::string& n : report->notes) std::cout << args[0] << ": note: " << n << "\n";
    if (report->consistent()) {
        std::cout << args[0] << ": consistent\n";
        return 0;
    }
    if (report->damage.empty()) {
        std::cout << args[0] << ": " << soundWithNotes(report->notes.size()) << "\n";
        return 0;
    }
    std::cout << args[0] << ": " << verdict(report->damage) << "\n";
    return kExitDamaged;
}

}  // namespace lumaro::jet::tool
