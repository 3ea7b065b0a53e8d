#include "jet/TableLayout.h"

#include <algorithm>
#include <cstring>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/TextCodec.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {

constexpr uint32_t kIndexMagic = 1923;    // first word of a real-index block, as Jet writes it
constexpr uint8_t kFlagAlwaysSet = 0x10;  // set by Jet on every column of its own tables
constexpr uint8_t kSortOrderGeneral[4] = {0x09, 0x04, 0x00, 0x00};  // 1033, version 0
constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::size_t kLongValueDefinition = 12;

bool isFixedType(ColumnType t) {
    switch (t) {
        case ColumnType::Text:
        case ColumnType::Binary:
        case ColumnType::Memo:
        case ColumnType::Ole:
            return false;
        default:
            return true;
    }
}

void appendName(std::vector<uint8_t>& out, const std::string& name) {
    const std::vector<uint8_t> ucs2 = text::toUcs2(name);
    const std::size_t at = out.size();
    out.resize(at + 2);
    putU16(out.data() + at, static_cast<uint16_t>(ucs2.size()));
    out.insert(out.end(), ucs2.begin(), ucs2.end());
}

std::size_t grow(std::vector<uint8_t>& out, std::size_t n) {
    const std::size_t at = out.size();
    out.resize(at + n, 0);
    return at;
}

}  // namespace

bool ColumnLayout::isFixed() const { return (flags & fmt::kColFlagFixed) != 0; }

uint8_t defaultColumnFlags(ColumnType type) {
    return static_cast<uint8_t>(kFlagAlwaysSet | fmt::kColFlagUpdatable |
                                (isFixedType(type) ? fmt::kColFlagFixed : 0));
}

uint16_t storedLength(ColumnType type, int textChars) {
    switch (type) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        case ColumnType::Text:
            return static_cast<uint16_t>(2 * textChars);
        case ColumnType::Binary:
            return 510;
        default:
            return 0;
    }
}

void assignPositions(std::vector<ColumnLayout>& columns) {
    std::vector<ColumnLayout*> byNumber;
    for (auto& c : columns) byNumber.push_back(&c);
    std::sort(byNumber.begin(), byNumber.end(),
              [](const ColumnLayout* a, const ColumnLayout* b) { return a->number < b->number; });
    uint16_t varCount = 0;
    uint16_t fixedOffset = 0;
    for (ColumnLayout* c : byNumber) {
        c->varIndex = varCount;
        c->fixedOffset = 0;
        if (!c->isFixed()) {
            ++varCount;
        } else if (c->type != ColumnType::Boolean) {
            c->fixedOffset = fixedOffset;
            fixedOffset = static_cast<uint16_t>(fixedOffset + c->length);
        }
    }
}

Result<std::vector<uint8_t>> encodeTableDefinition(const TableLayout& t) {
    std::vector<uint8_t> d(fmt::kTdefIndexCountsOffset, 0);
    d[0] = fmt::kPageTableDef;
    d[1] = 0x01;
    putU32(&d[12], fmt::kTdefMagic);
    putU32(&d[fmt::kTdefRowCountOffset], t.rowCount);
    d[24] = 0x01;
    d[fmt::kTdefTableTypeOffset] = t.tableType;
    const auto numCols = static_cast<uint16_t>(t.columns.size());
    const auto numVar = static_cast<uint16_t>(std::count_if(
        t.columns.begin(), t.columns.end(), [](const ColumnLayout& c) { return !c.isFixed(); }));
    putU16(&d[fmt::kTdefMaxColumnsOffset], numCols);
    putU16(&d[fmt::kTdefVarColumnsOffset], numVar);
    putU16(&d[fmt::kTdefColumnCountOffset], numCols);
    putU32(&d[fmt::kTdefLogicalIndexCountOffset], static_cast<uint32_t>(t.logicalIndexes.size()));
    putU32(&d[fmt::kTdefRealIndexCountOffset], static_cast<uint32_t>(t.realIndexes.size()));
    putU32(&d[fmt::kTdefOwnedPagesOffset], t.ownedPages);
    putU32(&d[fmt::kTdefFreePagesOffset], t.freePages);

    for (const RealIndexLayout& r : t.realIndexes) {
        const std::size_t at = grow(d, fmt::kTdefIndexCountSize);
        putU32(&d[at + 4], r.uniqueCount);
    }
    for (const ColumnLayout& c : t.columns) {
        const std::size_t at = grow(d, fmt::kTdefColumnSize);
        uint8_t* p = &d[at];
        p[fmt::kColType] = static_cast<uint8_t>(c.type);
        putU32(p + 1, fmt::kTdefMagic);
        putU16(p + fmt::kColNumber, c.number);
        putU16(p + fmt::kColVarIndex, c.varIndex);
        // The word at kColNumberAgain stays 0, as Jet and Access write it.
        std::memcpy(p + fmt::kColPrecision, kSortOrderGeneral, sizeof kSortOrderGeneral);
        p[fmt::kColFlags] = c.flags;
        p[fmt::kColExtFlags] = c.extFlags;
        putU16(p + fmt::kColFixedOffset, c.fixedOffset);
        putU16(p + fmt::kColLength, c.length);
    }
    for (const ColumnLayout& c : t.columns) appendName(d, c.name);
    for (const RealIndexLayout& r : t.realIndexes) {
        const std::size_t at = grow(d, fmt::kTdefRealIndexSize);
        uint8_t* p = &d[at];
        putU32(p, kIndexMagic);
        for (std::size_t k = 0; k < kIndexColumnSlots; ++k) {
            uint8_t* slot = p + 4 + 3 * k;
            if (k < r.columns.size()) {
                putU16(slot, r.columns[k]);
                slot[2] = 0x01;  // ascending
            } else {
                putU16(slot, 0xFFFF);
            }
        }
        putU32(p + 34, r.usageMap);
        putU32(p + 38, r.firstPage);
        p[42] = r.flags;
    }
    for (const LogicalIndexLayout& l : t.logicalIndexes) {
        const std::size_t at = grow(d, fmt::kTdefLogicalIndexSize);
        uint8_t* p = &d[at];
        putU32(p, fmt::kTdefMagic);
        putU32(p + 4, l.number);
        putU32(p + 8, l.realNumber);
        putU32(p + 13, 0xFFFFFFFF);  // no related index
        p[21] = 0x04;
        p[22] = 0x04;
        p[23] = l.type;
    }
    for (const LogicalIndexLayout& l : t.logicalIndexes) appendName(d, l.name);
    for (const LongValueMapLayout& m : t.longValueMaps) {
        const std::size_t at = grow(d, 10);
        putU16(&d[at], m.column);
        putU32(&d[at + 2], m.used);
        putU32(&d[at + 6], m.free);
    }
    const std::size_t end = grow(d, 2);
    putU16(&d[end], 0xFFFF);
    if (d.size() + 8 > fmt::kPageSize) {
        return Status::notSupported("table definition of " + std::to_string(d.size()) +
                                    " bytes does not fit in one page");
    }
    putU32(&d[fmt::kTdefLengthOffset], static_cast<uint32_t>(d.size()));
    putU16(&d[2], static_cast<uint16_t>(fmt::kPageSize - d.size() - 8));
    d.resize(fmt::kPageSize, 0);
    return d;
}

RowEncoder::RowEncoder(const std::vector<ColumnLayout>& columns) : m_byNumber(columns) {
    std::sort(m_byNumber.begin(), m_byNumber.end(),
              [](const ColumnLayout& a, const ColumnLayout& b) { return a.number < b.number; });
    for (const ColumnLayout& c : m_byNumber) {
        if (!c.isFixed()) {
            m_varColumns.push_back(c.number);
        } else if (c.type != ColumnType::Boolean) {
            m_fixedSize =
                std::max<uint16_t>(m_fixedSize, static_cast<uint16_t>(c.fixedOffset + c.length));
        }
    }
    std::sort(m_varColumns.begin(), m_varColumns.end(), [this](uint16_t a, uint16_t b) {
        return m_byNumber[a].varIndex < m_byNumber[b].varIndex;
    });
    m_maskSize = (m_byNumber.size() + 7) / 8;
}

Status RowEncoder::refuse(const ColumnLayout& c, const std::string& why) const {
    return Status::invalidArgument("column " + c.name + ": " + why);
}

Status RowEncoder::encodeFixed(const ColumnLayout& c, const Value& v, uint8_t* slot) const {
    switch (c.type) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long: {
            const int64_t* i = std::get_if<int64_t>(&v);
            if (i == nullptr) return refuse(c, "expects an integer");
            const int bytes = c.length;
            const int64_t lo = bytes == 1 ? 0 : -(int64_t{1} << (8 * bytes - 1));
            const int64_t hi = bytes == 1 ? 255 : (int64_t{1} << (8 * bytes - 1)) - 1;
            if (*i < lo || *i > hi) return refuse(c, std::to_string(*i) + " is out of range");
            for (int k = 0; k < bytes; ++k) slot[k] = static_cast<uint8_t>(*i >> (8 * k));
            return Status::ok();
        }
        case ColumnType::DateTime: {
            const DateTime* dt = std::get_if<DateTime>(&v);
            if (dt == nullptr) return refuse(c, "expects a date");
            putF64(slot, dt->days);
            return Status::ok();
        }
        case ColumnType::Double: {
            const double* x = std::get_if<double>(&v);
            if (x == nullptr) return refuse(c, "expects a number");
            putF64(slot, *x);
            return Status::ok();
        }
        default:
            return Status::notSupported("column " + c.name + ": type not supported by the writer");
    }
}

Status RowEncoder::appendVariable(const ColumnLayout& c, const Value& v,
                                  std::vector<uint8_t>& out) const {
    switch (c.type) {
        case ColumnType::Text: {
            const std::string* s = std::get_if<std::string>(&v);
            if (s == nullptr) return refuse(c, "expects text");
            std::size_t chars = 0;
            const std::size_t before = out.size();
            const bool compress = (c.extFlags & fmt::kColExtCompressedUnicode) != 0;
            if (!text::appendColumnText(*s, compress, out, chars)) {
                return refuse(c, "text is not valid UTF-8");
            }
            if (chars * 2 > c.length) {
                out.resize(before);
                return refuse(c, "text of " + std::to_string(chars) +
                                     " characters is longer than the column's " +
                                     std::to_string(c.length / 2));
            }
            return Status::ok();
        }
        case ColumnType::Binary:
        case ColumnType::Memo:
        case ColumnType::Ole: {
            const Bytes* b = std::get_if<Bytes>(&v);
            const std::string* s = std::get_if<std::string>(&v);
            std::vector<uint8_t> data;
            if (b != nullptr) {
                data = *b;
            } else if (s != nullptr && c.type == ColumnType::Memo) {
                std::size_t chars = 0;
                if (!text::appendColumnText(*s, false, data, chars)) {
                    return refuse(c, "text is not valid UTF-8");
                }
            } else {
                return refuse(c, "expects bytes");
            }
            if (c.type == ColumnType::Binary) {
                if (c.length != 0 && data.size() > c.length) return refuse(c, "value too long");
            } else {
                // Long values are kept inline in the row (FORMAT-writing.md "Long values").
                const std::size_t at = grow(out, kLongValueDefinition);
                putU32(&out[at], static_cast<uint32_t>(data.size()) | fmt::kLongValueInline);
            }
            out.insert(out.end(), data.begin(), data.end());
            return Status::ok();
        }
        default:
            return Status::notSupported("column " + c.name + ": type not supported by the writer");
    }
}

Status RowEncoder::encode(const std::vector<Value>& values, std::vector<uint8_t>& out) {
    if (values.size() != m_byNumber.size()) {
        return Status::invalidArgument("row has " + std::to_string(values.size()) + " values for " +
                                       std::to_string(m_byNumber.size()) + " columns");
    }
    out.assign(2 + m_fixedSize, 0);
    putU16(out.data(), static_cast<uint16_t>(m_byNumber.size()));
    uint8_t mask[32] = {};
    for (const ColumnLayout& c : m_byNumber) {
        const Value& v = values[c.number];
        if (c.type == ColumnType::Boolean) {
            // A Yes/No value is its null-mask bit; a missing one is No.
            const bool* b = std::get_if<bool>(&v);
            if (b == nullptr && !isNull(v)) return refuse(c, "expects Yes/No");
            if (b != nullptr && *b)
                mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
            continue;
        }
        if (isNull(v)) {
            if (c.required) return refuse(c, "NULL in a required column");
            continue;
        }
        mask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
        if (c.isFixed()) {
            Status st = encodeFixed(c, v, out.data() + 2 + c.fixedOffset);
            if (!st) return st;
        }
    }
    if (!m_varColumns.empty()) {
        uint16_t offsets[256];
        for (std::size_t k = 0; k < m_varColumns.size(); ++k) {
            const ColumnLayout& c = m_byNumber[m_varColumns[k]];
            offsets[k] = static_cast<uint16_t>(out.size());
            const Value& v = values[c.number];
            if (isNull(v)) continue;
            Status st = appendVariable(c, v, out);
            if (!st) return st;
        }
        const std::size_t eod = out.size();
        const std::size_t at = grow(out, 2 + 2 * m_varColumns.size() + 2);
        putU16(&out[at], static_cast<uint16_t>(eod));
        for (std::size_t k = 0; k < m_varColumns.size(); ++k) {
            putU16(&out[at + 2 + 2 * k], offsets[m_varColumns.size() - 1 - k]);
        }
        putU16(&out[at + 2 + 2 * m_varColumns.size()], static_cast<uint16_t>(m_varColumns.size()));
    }
    out.insert(out.end(), mask, mask + m_maskSize);
    if (out.size() > fmt::kMaxRowSize) {
        return Status::invalidArgument("row of " + std::to_string(out.size()) +
                                       " bytes is larger than a page can hold");
    }
    return Status::ok();
}

}  // namespace lumaro::jet
