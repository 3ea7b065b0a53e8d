#include "jet/RowDecoder.h"

#include <algorithm>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/LongValue.h"
#include "jet/Text.h"

namespace lumaro::jet {

namespace {

std::string& stringIn(Value& v) {
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    return v.emplace<std::string>();
}

Bytes& bytesIn(Value& v) {
    if (auto* b = std::get_if<Bytes>(&v)) return *b;
    return v.emplace<Bytes>();
}

Status tooShort(const Column& c, std::size_t size) {
    return Status::corruption("column \"" + c.name + "\": " + std::to_string(size) +
                              " bytes are too few for its type");
}

// Decodes one non-null field of `size` bytes.
Status decodeField(const Column& c, const PageSource& source, const uint8_t* f, std::size_t size,
                   Value& out) {
    static constexpr std::size_t kNeed[] = {0, 0, 1, 2, 4, 8, 4, 8, 8, 0, 0, 12, 12, 0, 0, 16, 17};
    const auto t = static_cast<std::size_t>(c.type);
    const bool longValue = c.type == ColumnType::Memo || c.type == ColumnType::Ole;
    if (longValue && size == 0) {  // an empty, not NULL, long value stored as no bytes at all
        if (c.type == ColumnType::Memo) {
            stringIn(out).clear();
        } else {
            bytesIn(out).clear();
        }
        return Status::ok();
    }
    if (t < std::size(kNeed) && size < kNeed[t]) return tooShort(c, size);
    switch (c.type) {
        case ColumnType::Byte:
            out = static_cast<int64_t>(f[0]);
            break;
        case ColumnType::Integer:
            out = static_cast<int64_t>(getI16(f));
            break;
        case ColumnType::Long:
            out = static_cast<int64_t>(getI32(f));
            break;
        case ColumnType::Single:
            out = static_cast<double>(getF32(f));
            break;
        case ColumnType::Double:
            out = getF64(f);
            break;
        case ColumnType::Currency:
            out = Currency{getI64(f)};
            break;
        case ColumnType::DateTime:
            out = DateTime{getF64(f)};
            break;
        case ColumnType::Numeric:
            out = numericToString(f, c.scale);
            break;
        case ColumnType::Text:
            decodeJetText(f, size, stringIn(out));
            break;
        case ColumnType::Memo: {
            Bytes raw;
            if (Status s = readLongValue(source, f, size, raw); !s) {
                return Status::corruption("column \"" + c.name + "\": " + s.message());
            }
            decodeJetText(raw.data(), raw.size(), stringIn(out));
            break;
        }
        case ColumnType::Ole:
            if (Status s = readLongValue(source, f, size, bytesIn(out)); !s) {
                return Status::corruption("column \"" + c.name + "\": " + s.message());
            }
            break;
        case ColumnType::Guid:
            bytesIn(out).assign(f, f + 16);
            break;
        default:
            bytesIn(out).assign(f, f + size);
            break;  // Binary and types we do not know
    }
    return Status::ok();
}

}  // namespace

std::string numericToString(const uint8_t* stored, uint8_t scale) {
    // Magnitude: four little-endian 32-bit words, the most significant first.
    uint32_t words[4];
    for (int k = 0; k < 4; ++k) words[k] = getU32(stored + 1 + 4 * k);
    std::string digits;
    for (;;) {
        bool zero = true;
        uint64_t rem = 0;
        for (uint32_t& w : words) {
            const uint64_t cur = (rem << 32) | w;
            w = static_cast<uint32_t>(cur / 10);
            rem = cur % 10;
            zero = zero && w == 0;
        }
        digits.push_back(static_cast<char>('0' + rem));
        if (zero) break;
    }
    while (digits.size() <= scale) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    if (scale > 0) digits.insert(digits.end() - scale, '.');
    if (stored[0] & 0x80) digits.insert(digits.begin(), '-');
    return digits;
}

Status decodeRow(const Table::Data& table, const PageSource& source, const uint8_t* row,
                 std::size_t length, std::vector<Value>& values, uint16_t& storedColumns) {
    if (length < 3) return Status::corruption("row of " + std::to_string(length) + " bytes");
    const uint16_t rowColumns = getU16(row);
    const std::size_t maskLen = (rowColumns + 7u) / 8u;
    if (2 + maskLen > length) {
        return Status::corruption("null mask of " + std::to_string(rowColumns) +
                                  " columns does not fit a row of " + std::to_string(length) +
                                  " bytes");
    }
    storedColumns = rowColumns;
    const uint8_t* mask = row + length - maskLen;

    // The variable-offset table: count, then count+1 offsets (the last one ends the data),
    // stored backwards from just before the count.
    std::size_t fixedEnd = length - maskLen;
    std::size_t varCount = 0;
    std::size_t varTable = fixedEnd;  // first byte of the offset table
    const uint8_t* varBase = nullptr;
    if (table.hasVariableColumns) {
        if (2 + maskLen + 2 > length) return Status::corruption("no room for the variable count");
        varCount = getU16(row + length - maskLen - 2);
        const std::size_t tableBytes = 2 * (varCount + 1) + 2;
        if (2 + maskLen + tableBytes > length) {
            return Status::corruption("variable column count " + std::to_string(varCount) +
                                      " does not fit a row of " + std::to_string(length) +
                                      " bytes");
        }
        varTable = length - maskLen - tableBytes;
        varBase = row + length - maskLen - 4;  // offset i is at varBase - 2 i
        const std::size_t eod = getU16(varBase - 2 * varCount);
        fixedEnd = varCount > 0 ? getU16(varBase) : eod;
        if (fixedEnd < 2 || eod < fixedEnd || eod > varTable) {
            return Status::corruption("variable data " + std::to_string(fixedEnd) + ".." +
                                      std::to_string(eod) + " outside the row's data area 2.." +
                                      std::to_string(varTable));
        }
    }

    values.resize(table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        Value& out = values[i];
        const bool present = c.number < rowColumns;
        const bool notNull = present && ((mask[c.number >> 3] >> (c.number & 7)) & 1) != 0;
        if (c.type == ColumnType::Boolean) {
            out = notNull;
            continue;
        }
        if (!notNull) {
            out = std::monostate{};
            continue;
        }
        const uint8_t* f;
        std::size_t size;
        if (c.fixed) {
            const std::size_t start = 2u + c.fixedOffset;
            size = c.storedLength;
            if (start + size > fixedEnd) {
                return Status::corruption("column \"" + c.name + "\": fixed field " +
                                          std::to_string(start) + "+" + std::to_string(size) +
                                          " beyond the fixed area ending at " +
                                          std::to_string(fixedEnd));
            }
            f = row + start;
        } else {
            if (c.varIndex >= varCount) {  // the row predates the column
                out = std::monostate{};
                continue;
            }
            const std::size_t start = getU16(varBase - 2 * c.varIndex);
            const std::size_t end = getU16(varBase - 2 * (c.varIndex + 1));
            if (start < fixedEnd || end < start || end > varTable) {
                return Status::corruption(
                    "column \"" + c.name + "\": variable field " + std::to_string(start) + ".." +
                    std::to_string(end) + " outside the row's data area " +
                    std::to_string(fixedEnd) + ".." + std::to_string(varTable));
            }
            f = row + start;
            size = end - start;
        }
        if (Status s = decodeField(c, source, f, size, out); !s) return s;
    }
    return Status::ok();
}

}  // namespace lumaro::jet
