#pragma once
// Decoding one stored row into values (FORMAT.md "Rows"). This is the hot path of a scan: no
// allocation beyond the values themselves, columns addressed by position.

#include <cstdint>
#include <string>
#include <vector>

#include "jet/TableDefinition.h"

namespace lumaro::jet {

class PageSource;

// Decodes the row bytes [row, row + length) of `table` into `values` (resized to the column
// count; string and byte buffers are reused). `storedColumns` receives the row's column count.
// Errors say what is wrong; the caller adds where the row is.
Status decodeRow(const Table::Data& table, const PageSource& source, const uint8_t* row,
                 std::size_t length, std::vector<Value>& values, uint16_t& storedColumns);

// Decimal text of a stored Numeric value (17 bytes: sign, then four 32-bit words).
std::string numericToString(const uint8_t* stored, uint8_t scale);

}  // namespace lumaro::jet
