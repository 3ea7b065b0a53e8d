#pragma once
// Reading Jet 4.0 (.mdb) files: the catalog, table definitions and every row of a table.
//
// Every stored length, offset and page number is checked before use. A file that is truncated,
// damaged or not a Jet 4.0 database gives a Status naming what is wrong and where ("page 14,
// row 3: ..."; the caller adds the file's name); reading never crashes and never loops (page
// chains, overflow pointers and long-value chains are followed with cycle checks). Pages are read
// on demand through a small cache, so memory stays bounded whatever the size of the file.
//
// A Database and the Tables taken from it share one page source and are not thread-safe; open
// the file once per thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/JetTypes.h"
#include "jet/Page.h"

namespace lumaro::jet {

class PageSource;
class Table;

// A column as the table definition stores it (FORMAT.md "Column descriptors").
struct Column {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::Long;
    int size = 0;               // Text: characters; other types: the stored length in bytes
    uint16_t storedLength = 0;  // the length field as stored (Text: bytes)
    bool required = false;      // the "Required" property (FORMAT.md "Properties (LvProp)")
    uint16_t number = 0;        // column number: the null-mask bit of the column
    uint16_t varIndex = 0;      // slot in the row's variable-offset table (variable columns)
    uint16_t fixedOffset = 0;   // offset in the row's fixed area (fixed columns)
    bool fixed = false;         // stored in the fixed area
    uint8_t flags = 0;          // descriptor flags (format::kColFlag*)
    uint8_t extFlags = 0;
    uint8_t precision = 0;  // Numeric
    uint8_t scale = 0;      // Numeric

    ColumnDef def() const { return ColumnDef{name, type, size, required}; }
};

// One row of MSysObjects, the catalog.
struct CatalogEntry {
    int32_t id = 0;
    int32_t parentId = 0;
    std::string name;
    int type = 0;
    uint32_t flags = 0;
    Bytes lvProp;  // the properties blob, empty when NULL
    RowId rowId;   // where the catalog row was found (the slot of a scan)

    bool isTable() const;       // type 1
    bool isUserTable() const;   // type 1 and neither system nor hidden flag
    uint32_t tdefPage() const;  // page of the table definition (low 24 bits of the id)
};

// One row of a table, as handed to a scan. Valid only during the visitor call.
class Row {
public:
    // The slot the scan found the row in. For a row that Jet moved to another page (an
    // overflow row) this is the slot holding the pointer.
    RowId id() const { return m_id; }
    // Where the row's bytes are: equal to id() except for moved rows.
    RowId storedAt() const { return m_storedAt; }
    uint16_t offset() const { return m_offset; }  // byte offset of the row on its page
    uint16_t length() const { return m_length; }  // row length in bytes
    uint16_t storedColumnCount() const { return m_storedColumns; }

    std::size_t size() const { return m_values->size(); }
    const Value& operator[](std::size_t i) const { return (*m_values)[i]; }  // columns() order
    const std::vector<Value>& values() const { return *m_values; }
    // The field of the named column (any case), or nullptr when the table has no such column.
    const Value* field(std::string_view columnName) const;

    // Byte offset within page storedAt().page and bit mask of a column's null-mask bit, which for a
    // Yes/No column is its value (FORMAT.md "Rows"). False when the row predates the column.
    bool nullMaskBit(const Column& column, uint16_t& byteOffset, uint8_t& mask) const;

private:
    friend class Table;
    const Table* m_table = nullptr;
    const std::vector<Value>* m_values = nullptr;
    RowId m_id;
    RowId m_storedAt;
    uint16_t m_offset = 0;
    uint16_t m_length = 0;
    uint16_t m_storedColumns = 0;
};

// A table: its definition and a scan of its rows.
class Table {
public:
    const std::string& name() const;
    uint32_t definitionPage() const;
    bool isSystem() const;
    uint32_t storedRowCount() const;     // the row count kept in the definition
    uint32_t ownedPagesPointer() const;  // row pointer of the owned-pages usage map
    uint32_t freePagesPointer() const;   // row pointer of the free-space usage map
    uint16_t variableColumnCount() const;
    uint32_t realIndexCount() const;
    uint32_t logicalIndexCount() const;

    const std::vector<Column>& columns() const;    // in column-number order
    int columnIndex(std::string_view name) const;  // any case; -1 when absent
    const Column* column(std::string_view name) const;

    // Pages listed in the owned-pages usage map, ascending.
    Result<std::vector<uint32_t>> ownedPages() const;

    // Calls `visit` for every live row, in page order and slot order on each page, skipping
    // deleted rows and following moved rows. `visit` returns false to stop early. Returns the
    // first inconsistency met (the rows before it have been visited).
    using RowVisitor = std::function<bool(const Row&)>;
    Status forEachRow(const RowVisitor& visit) const;

    // Every row's values, for small tables and tests.
    Result<std::vector<std::vector<Value>>> readAll() const;

    // The parsed definition; internal to the engine (see TableDefinition.h).
    struct Data;

private:
    friend class Database;
    std::shared_ptr<const PageSource> m_source;
    std::shared_ptr<const Data> m_data;
};

class Database {
public:
    // Opens a file for reading. Checks the header (Jet 4.0, not encrypted) and reads the catalog.
    static Result<Database> open(const std::string& path);
    // Same over bytes held in memory (fuzzing, tests).
    static Result<Database> openBytes(std::vector<uint8_t> bytes);

    const std::string& path() const;
    uint32_t pageCount() const;
    uint16_t codePage() const;
    uint16_t sortOrder() const;
    uint8_t sortVersion() const;
    DateTime creationDate() const;

    // Every row of MSysObjects, in scan order.
    const std::vector<CatalogEntry>& catalog() const;
    // Names of the user tables (not system, not hidden), in catalog order.
    std::vector<std::string> tableNames() const;
    // A table (user or system) found by name in any case ("cumpleaños" finds "Cumpleaños").
    Result<Table> table(std::string_view name) const;

    // A page's bytes, checked against the end of the file.
    Result<Page> page(uint32_t number) const;
    // The bytes of one row (masked offsets, flags ignored), checked against its page.
    Result<Bytes> rowBytes(uint32_t page, uint16_t row) const;
    // Pages listed by a usage map stored at the given row pointer (FORMAT.md "Usage maps"),
    // ascending. Pages beyond the end of the file are damage, except in the global free-page
    // map (page 1, row 0), which marks them all free: there they are left out.
    Result<std::vector<uint32_t>> usageMapPages(uint32_t rowPointer) const;

private:
    struct Data;
    static Result<Database> fromSource(std::shared_ptr<PageSource> source);
    static Result<Table> loadTable(std::shared_ptr<const PageSource> source, std::string name,
                                   uint32_t tdefPage, const Bytes* lvProp);
    std::shared_ptr<PageSource> m_source;
    std::shared_ptr<const Data> m_data;
};

}  // namespace lumaro::jet
