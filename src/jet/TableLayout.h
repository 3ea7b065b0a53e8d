#pragma once
// A table as the writer lays it out: its column descriptors, indexes and usage-map pointers,
// the encoding of its table definition page and of its rows (FORMAT-writing.md "Table
// definition", "Rows").

#include <cstdint>
#include <string>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

struct ColumnLayout {
    std::string name;  // UTF-8
    ColumnType type = ColumnType::Long;
    uint16_t number = 0;
    uint16_t length = 0;  // stored length: Text(n) is 2n bytes, variable binary/long values 0
    uint8_t flags = 0;
    uint8_t extFlags = 0;
    bool required = false;  // refuses NULL on insert; stored as the Required property
    // Derived by assignPositions().
    uint16_t varIndex = 0;
    uint16_t fixedOffset = 0;

    bool isFixed() const;
};

struct RealIndexLayout {
    std::vector<uint16_t> columns;  // column numbers, ascending order each
    uint32_t usageMap = 0;          // row pointer of the index's usage map
    uint32_t firstPage = 0;         // root (the only leaf for small tables)
    uint8_t flags = 0;
    uint32_t uniqueCount = 0;  // distinct keys, kept in the row-count block
};

struct LogicalIndexLayout {
    std::string name;
    uint32_t number = 0;
    uint32_t realNumber = 0;
    uint8_t type = 0;  // 1 primary key
};

struct LongValueMapLayout {
    uint16_t column = 0;
    uint32_t used = 0;  // row pointers of the two usage maps of a Memo/OLE column
    uint32_t free = 0;
};

struct TableLayout {
    uint8_t tableType = 0x4E;
    uint32_t rowCount = 0;
    uint32_t ownedPages = 0;  // row pointers of the table's two usage maps
    uint32_t freePages = 0;
    std::vector<ColumnLayout> columns;  // in the order the definition stores them
    std::vector<RealIndexLayout> realIndexes;
    std::vector<LogicalIndexLayout> logicalIndexes;  // stored order
    std::vector<LongValueMapLayout> longValueMaps;   // stored order
};

// The flags of a user column of this type: fixed or variable, updatable.
uint8_t defaultColumnFlags(ColumnType type);
// Stored length of a column of this type; Text takes its size in characters.
uint16_t storedLength(ColumnType type, int textChars);

// Computes every column's variable-table index and fixed-area offset from the column numbers,
// types and lengths, as Jet does: variable columns are numbered in column order, fixed columns
// are packed in column order (Yes/No columns take no room; their value is the null-mask bit).
void assignPositions(std::vector<ColumnLayout>& columns);

// The table definition as one page (type 0x02). Fails when it does not fit in a page.
Result<std::vector<uint8_t>> encodeTableDefinition(const TableLayout& table);

// Encodes rows of one table into a buffer of its own, reused from row to row.
class RowEncoder {
public:
    explicit RowEncoder(const std::vector<ColumnLayout>& columns);

    // Encodes one row. `values` holds one value per column in column-number order. NULL in a
    // required column, text longer than its column, a value of the wrong type or a row larger
    // than a page can hold is refused with InvalidArgument naming the column. On success the
    // row is in data()/size() until the next call.
    Status encode(const std::vector<Value>& values);
    const uint8_t* data() const { return m_row.data(); }
    std::size_t size() const { return m_size; }

    // The same, copying the row into `out`.
    Status encode(const std::vector<Value>& values, std::vector<uint8_t>& out);

    std::size_t columnCount() const { return m_byNumber.size(); }

private:
    enum class Kind : uint8_t { Flag, Integer, Date, Double, Text, Binary, LongValue, Other };
    struct Slot {
        Kind kind;
        uint8_t bytes;  // integers: stored width
        bool required;
        bool compress;  // text: compressed form allowed
        uint16_t number;
        uint16_t offset;    // fixed columns: offset in the fixed area
        uint16_t maxBytes;  // text and binary: column length (0 = unlimited binary)
    };
    bool encodeFixed(const Slot& c, const Value& v, uint8_t* at) const;
    bool appendVariable(const Slot& c, const Value& v);
    Status refuse(const Slot& c, const std::string& why) const;
    Status refuseValue(const Slot& c, const Value& v) const;
    void reserve(std::size_t extra);

    std::vector<ColumnLayout> m_byNumber;
    std::vector<Slot> m_fixed;  // fixed columns other than Yes/No
    std::vector<Slot> m_flags;  // Yes/No columns
    std::vector<Slot> m_var;    // variable columns in variable-index order
    std::vector<uint8_t> m_row;
    std::vector<uint8_t> m_scratch;  // text that needs more than the ASCII fast path
    std::size_t m_size = 0;
    uint16_t m_fixedSize = 0;
    std::size_t m_maskSize = 0;
};

}  // namespace lumaro::jet
