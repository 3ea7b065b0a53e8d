#include "jet/tool/ValueText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace lumaro::jet::tool {

namespace {

void appendQuoted(const char* data, std::size_t size, std::string& out) {
    out += '"';
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '"') out += '"';
        out += data[i];
    }
    out += '"';
}

void appendFormatted(std::string& out, const char* fmt, double v) {
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, fmt, v);
    if (n > 0)
        out.append(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n)
                                                                 : sizeof buf - 1);
}

void appendJsonString(std::string_view text, std::string& out) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string hexBytes(const Bytes& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out = "0x";
    for (const uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

void appendJsonValue(const Column& column, const Value& value, std::string& out) {
    if (isNull(value)) {
        out += "null";
    } else if (const auto* b = std::get_if<bool>(&value)) {
        out += *b ? "true" : "false";
    } else if (const auto* d = std::get_if<double>(&value); d && !std::isfinite(*d)) {
        out += "null";
    } else if (const auto* t = std::get_if<DateTime>(&value)) {
        int y, mo, da, h, mi, s;
        t->toParts(y, mo, da, h, mi, s);
        char buf[48];
        std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", y, mo, da, h, mi, s);
        out += buf;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        appendJsonString(*s, out);
    } else if (const auto* bytes = std::get_if<Bytes>(&value)) {
        appendJsonString(column.type == ColumnType::Guid ? guidToString(*bytes) : hexBytes(*bytes),
                         out);
    } else {
        appendCsvField(column, value, out);  // numbers: the same digits as in CSV
    }
}

}  // namespace

void appendCsvHeader(const std::vector<Column>& columns, std::string& out) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        out += columns[i].name;
    }
    out += '\n';
}

void appendCsvRecord(const std::vector<Column>& columns, const std::vector<Value>& row,
                     std::string& out) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        appendCsvField(columns[i], row[i], out);
    }
    out += '\n';
}

void appendJsonObject(const std::vector<Column>& columns, const std::vector<Value>& row,
                      std::string& out) {
    out += '{';
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i) out += ',';
        appendJsonString(columns[i].name, out);
        out += ':';
        appendJsonValue(columns[i], row[i], out);
    }
    out += '}';
}

void appendCsvField(const Column& column, const Value& value, std::string& out) {
    if (isNull(value)) return;
    if (const auto* b = std::get_if<bool>(&value)) {
        out += *b ? '1' : '0';
    } else if (const auto* i = std::get_if<int64_t>(&value)) {
        out += std::to_string(*i);
    } else if (const auto* d = std::get_if<double>(&value)) {
        appendFormatted(out, column.type == ColumnType::Single ? "%.8g" : "%.16g", *d);
    } else if (const auto* c = std::get_if<Currency>(&value)) {
        out += c->toString();
    } else if (const auto* t = std::get_if<DateTime>(&value)) {
        int y, mo, da, h, mi, s;
        t->toParts(y, mo, da, h, mi, s);
        char buf[48];
        std::snprintf(buf, sizeof buf, "\"%02d/%02d/%02d %02d:%02d:%02d\"", mo, da,
                      ((y % 100) + 100) % 100, h, mi, s);
        out += buf;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        if (column.type == ColumnType::Numeric) {
            out += *s;
        } else {
            appendQuoted(s->data(), s->size(), out);
        }
    } else if (const auto* bytes = std::get_if<Bytes>(&value)) {
        if (column.type == ColumnType::Guid) {
            const std::string g = guidToString(*bytes);
            appendQuoted(g.data(), g.size(), out);
        } else {
            appendQuoted(reinterpret_cast<const char*>(bytes->data()), bytes->size(), out);
        }
    }
}

std::string schemaTypeName(const Column& column) {
    switch (column.type) {
        case ColumnType::Boolean:
            return "Boolean";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long Integer";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "DateTime";
        case ColumnType::Binary:
            return "Binary (" + std::to_string(column.size) + ")";
        case ColumnType::Text:
            return "Text (" + std::to_string(column.size) + ")";
        case ColumnType::Ole:
            return "OLE (" + std::to_string(column.size) + ")";
        case ColumnType::Memo:
            return "Memo/Hyperlink (255)";  // as mdb-schema shows every memo
        case ColumnType::Guid:
            return "Replication ID";
        case ColumnType::Numeric:
            return "Numeric (" + std::to_string(column.precision) + ", " +
                   std::to_string(column.scale) + ")";
    }
    return "Unknown 0x" + std::to_string(static_cast<int>(column.type));
}

}  // namespace lumaro::jet::tool
