#pragma once
// Values as lumaro-mdb prints them: CSV fields in mdb-export's default form, and type names in
// the form of mdb-schema.

#include <string>

#include "jet/Reader.h"

namespace lumaro::jet::tool {

// Appends one CSV field: NULL empty; text, memo, dates and bytes in double quotes with quotes
// doubled; Yes/No as 1/0; Single as %.8g, Double as %.16g; Currency with four decimals;
// dates as mm/dd/yy hh:mm:ss.
void appendCsvField(const Column& column, const Value& value, std::string& out);

// "Long Integer", "Text (50)", "DateTime", ...
std::string schemaTypeName(const Column& column);

}  // namespace lumaro::jet::tool
