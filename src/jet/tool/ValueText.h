#pragma once
// Values as lumaro-mdb prints them: CSV fields in mdb-export's default form, JSON values, and
// type names in the form of mdb-schema.

#include <string>
#include <vector>

#include "jet/Reader.h"

namespace lumaro::jet::tool {

// Appends one CSV field: NULL empty; text, memo, dates and bytes in double quotes with quotes
// doubled; Yes/No as 1/0; Single as %.8g, Double as %.16g; Currency with four decimals;
// dates as mm/dd/yy hh:mm:ss.
void appendCsvField(const Column& column, const Value& value, std::string& out);

// One record, ended by a newline: the column names (header) or one row's fields.
void appendCsvHeader(const std::vector<Column>& columns, std::string& out);
void appendCsvRecord(const std::vector<Column>& columns, const std::vector<Value>& row,
                     std::string& out);

// One row as a JSON object on one line, keyed by column name: NULL null; Yes/No true/false;
// integers, Single, Double (null when not finite) and Currency as numbers; dates as
// "yyyy-mm-ddThh:mm:ss"; text as strings; Numeric as its decimal text in a string (exact);
// bytes as "0x" hex, GUIDs in braces.
void appendJsonObject(const std::vector<Column>& columns, const std::vector<Value>& row,
                      std::string& out);

// "Long Integer", "Text (50)", "DateTime", ...
std::string schemaTypeName(const Column& column);

}  // namespace lumaro::jet::tool
