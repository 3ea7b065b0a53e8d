#pragma once
// Changes in place to an existing Jet 4.0 database (FORMAT-writing.md "Changing rows"): setting
// a Yes/No value of a row and deleting a row. A Yes/No value is the row's null-mask bit, so
// the change rewrites one byte and never moves the row; a deletion flags the row's slot and
// lowers the table's row count. Rows are named by the RowId the reader reports.
//
// Rows that Jet moved to another page (overflow rows) are followed to their new home. The page
// changed last is held back, so that many changes to one page cost one write: it reaches the
// file when another page is changed, at flush(), and at close() (or the destructor), which
// also syncs the file.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

#include "jet/JetTypes.h"
#include "jet/Reader.h"

namespace lumaro::jet {

class Updater {
public:
    static Result<std::unique_ptr<Updater>> open(const std::filesystem::path& path);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    // Sets the Yes/No column `column` of the row at `row` in `table` (names in any case).
    // Fails with InvalidArgument when the column is not Yes/No or the row is not a live row of
    // that table, Corruption when the page does not hold up.
    Status setBoolean(std::string_view table, RowId row, std::string_view column, bool value);

    // Deletes the row at `row` in `table`.
    Status deleteRow(std::string_view table, RowId row);

    // Writes the page held back, if any.
    Status flush();

    // Writes what is held back, syncs the file to disk and closes it.
    Status close();

private:
    // Where a row's bytes are: the page holding them (read into `page`) and their bounds. For
    // a row that Jet moved to another page, `pointerSlot` is the slot that points there.
    struct Located {
        uint8_t page[4096];
        uint16_t start = 0;  // row bytes [start, end)
        uint16_t end = 0;
        RowId slot;
        bool moved = false;
        RowId pointerSlot;
    };
    Updater() = default;
    Status locate(const Table& table, RowId row, Located& out);
    // The table, looked up once for a run of changes to the same table.
    Result<Table> table(std::string_view name);
    Status readPage(uint32_t number, uint8_t* bytes);
    // Holds the page back (writing out the one held before, when it is another page).
    Status writePage(uint32_t number, const uint8_t* bytes);

    std::filesystem::path m_path;
    std::unique_ptr<Database> m_db;
    std::FILE* m_file = nullptr;
    std::string m_tableName;
    std::unique_ptr<Table> m_table;
    uint8_t m_held[4096];
    uint32_t m_heldNumber = 0;
    bool m_holding = false;
};

}  // namespace lumaro::jet
