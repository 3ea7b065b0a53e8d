#pragma once
// Writing a new Jet 4.0 (.mdb) database: an empty database with its system tables, user
// tables of Long Integer, Text(n), Date/Time and Yes/No columns (required or nullable, without
// indexes), and any number of rows.
//
// Rows are encoded into one open data page per table and streamed to the file as pages fill,
// so memory stays small whatever the number of rows. The file is written under a temporary
// name beside `path`; only commit() gives it its final name. A Writer destroyed without a
// successful commit() removes the temporary file and leaves nothing under `path`.
//
//     auto w = Writer::create("3_05122026.mdb");
//     auto t = w.value()->createTable(def);
//     w.value()->insert(t.value(), {int64_t{1}, std::string("Ana"), ...});
//     w.value()->commit();

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

class Writer {
public:
    using TableHandle = std::size_t;

    // Starts a new database that will be named `path` (an existing file of that name is
    // replaced at commit). `created` is the creation date stored in the header and catalog;
    // by default the current local time.
    static Result<std::unique_ptr<Writer>> create(const std::filesystem::path& path);
    static Result<std::unique_ptr<Writer>> create(const std::filesystem::path& path,
                                                  DateTime created);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Adds a table. Column types: Long, Text (1..255 characters), DateTime, Boolean (also
    // Byte, Integer and Double). Fails with InvalidArgument for a duplicate or empty name, a
    // bad size or duplicate column, NotSupported for other types.
    Result<TableHandle> createTable(const TableDef& def);

    // Adds one row: one value per column in the table's column order (NULL as an empty Value).
    // Refuses, with InvalidArgument naming the column, NULL in a required column (a NULL Yes/No
    // is stored as No), text longer than its column and values of the wrong type; the row is
    // then not written and the database stays consistent.
    Status insert(TableHandle table, const std::vector<Value>& row);

    // True for the column types createTable() accepts.
    static bool supportsType(ColumnType type);

    // Rows inserted into a table so far.
    uint32_t rowCount(TableHandle table) const;

    // Completes the file (catalog, definitions, usage maps, header), syncs it and gives it its
    // final name. After commit() (successful or not) the Writer accepts nothing more.
    Status commit();

private:
    struct State;
    explicit Writer(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

// The current local date and time as Jet stores it.
DateTime currentDateTime();

}  // namespace lumaro::jet
