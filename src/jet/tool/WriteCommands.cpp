// lumaro-mdb copy and check: the commands built on the writer and the consistency check.
#include <filesystem>
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
            std::cerr << "lumaro-mdb: tabla " << source.name() << " no copiada: la columna "
                      << c.name << " tiene un tipo que el escritor no admite\n";
            return false;
        }
        def.columns.push_back(c.def());
    }
    Result<Writer::TableHandle> handle = writer.createTable(def);
    if (!handle) {
        std::cerr << "lumaro-mdb: tabla " << source.name()
                  << " no copiada: " << handle.status().message() << "\n";
        return false;
    }
    Status failed;
    Status scanned = source.forEachRow([&](const Row& row) {
        failed = writer.insert(handle.value(), row.values());
        return failed.isOk();
    });
    if (!scanned || !failed) {
        std::cerr << "lumaro-mdb: tabla " << source.name() << ": "
                  << (!scanned ? scanned.message() : failed.message()) << "\n";
        return false;
    }
    return true;
}

}  // namespace

int copy(const Args& args) {
    // An existing destination is replaced only when asked: a copy is often made beside the
    // original, and a slip of the arguments would lose it.
    std::error_code ec;
    if (!args.has("--reemplazar") && std::filesystem::symlink_status(args[1], ec).type() !=
                                         std::filesystem::file_type::not_found) {
        std::cerr << "lumaro-mdb: " << args[1]
                  << ": ya existe; no se toca (--reemplazar para escribir la copia encima)\n";
        return kExitDamaged;
    }
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
    std::size_t copied = 0;
    const std::vector<std::string> names = source->tableNames();
    for (const std::string& name : names) {
        Result<Table> table = source->table(name);
        if (!table) {
            std::cerr << "lumaro-mdb: tabla " << name << ": " << table.status().message() << "\n";
            continue;
        }
        if (copyTable(table.value(), *writer.value())) ++copied;
    }
    Status committed = writer.value()->commit();
    if (!committed) {
        std::cerr << "lumaro-mdb: " << args[1] << ": " << committed.message() << "\n";
        return kExitDamaged;
    }
    std::cout << args[1] << ": copia escrita con " << copied << " de " << names.size()
              << " tablas de " << args[0]
              << (copied == names.size() ? "\n" : " (las demas, arriba, no se copiaron)\n");
    return copied == names.size() ? 0 : kExitIncomplete;
}

int check(const Args& args) {
    Result<CheckReport> report = inspectDatabase(args[0]);
    if (!report) {
        std::cerr << "lumaro-mdb: " << args[0] << ": "
                  << explainUnreadable(args[0], report.status()) << "\n";
        return kExitDamaged;
    }
    for (const std::string& d : report->damage) std::cout << args[0] << ": " << d << "\n";
    for (const std::string& n : report->notes) std::cout << args[0] << ": nota: " << n << "\n";
    if (report->consistent()) {
        std::cout << args[0] << ": coherente\n";
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
