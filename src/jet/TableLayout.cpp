#include "jet/TableLayout.h"

#include <algorithm>
#include <cstring>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/TextCodec.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {

constexpr uint32_t kIndexMagic = 1923;  // first word of a real-index block, as Jet writes it
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
    // As Access and Jackcess write user columns: updatable, and fixed where the type is. Jet's
    // own system tables also carry 0x10; their flags come from SystemCatalog. The updatable
    // flag stays set on required columns too (Jet does so; "Required" is a property).
    return static_cast<uint8_t>(fmt::kColFlagUpdatable |
                                (isFixedType(type) ? fmt::kColFlagFixed : 0));
}

uint16_t storedLength(ColumnType type, int textChars) {
    switch (type) {
        case ColumnType::Boolean:
            return 1;
        case ColumnType::Text:
            return static_cast<uint16_t>(2 * textChars);
        case ColumnType::Binary:
            return 510;
        default:
            return static_cast<uint16_t>(fixedSizeOf(type));
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
    std::size_t worst = 2;
    for (const ColumnLayout& c : m_byNumber) {
        Slot slot{Kind::Other, static_cast<uint8_t>(c.length),
                  c.required,  (c.extFlags & fmt::kColExtCompressedUnicode) != 0,
                  c.number,    c.fixedOffset,
                  c.length};
        switch (c.type) {
            case ColumnType::Boolean:
                slot.kind = Kind::Flag;
                break;
            case ColumnType::Byte:
            case ColumnType::Integer:
            case ColumnType::Long:
                slot.kind = Kind::Integer;
                break;
            case ColumnType::DateTime:
                slot.kind = Kind::Date;
                break;
            case ColumnType::Double:
                slot.kind = Kind::Double;
                break;
            case ColumnType::Text:
                slot.kind = Kind::Text;
                break;
            case ColumnType::Binary:
                slot.kind = Kind::Binary;
                break;
            case ColumnType::Memo:
            case ColumnType::Ole:
                slot.kind = Kind::LongValue;
                break;
            default:
                break;
        }
        if (slot.kind == Kind::Flag) {
            m_flags.push_back(slot);
        } else if (c.isFixed()) {
            m_fixed.push_back(slot);
            m_fixedSize =
                std::max<uint16_t>(m_fixedSize, static_cast<uint16_t>(c.fixedOffset + c.length));
        } else {
            m_var.push_back(slot);
            worst += 4 + c.length;
        }
    }
    std::stable_sort(m_var.begin(), m_var.end(), [this](const Slot& a, const Slot& b) {
        return m_byNumber[a.number].varIndex < m_byNumber[b.number].varIndex;
    });
    m_maskSize = (m_byNumber.size() + 7) / 8;
    m_row.resize(worst + m_fixedSize + m_maskSize + 8 + 2 * m_var.size());
}

void RowEncoder::reserve(std::size_t extra) {
    if (m_size + extra > m_row.size()) m_row.resize(m_size + extra);
}

Status RowEncoder::refuse(const Slot& c, const std::string& why) const {
    return Status::invalidArgument("column " + m_byNumber[c.number].name + ": " + why);
}

// Says why `v` could not be stored in column `c` (the slow path of a refused row).
Status RowEncoder::refuseValue(const Slot& c, const Value& v) const {
    if (isNull(v)) return refuse(c, "NULL in a required column");
    switch (c.kind) {
        case Kind::Integer:
            if (const int64_t* i = std::get_if<int64_t>(&v)) {
                return refuse(c, std::to_string(*i) + " is out of range");
            }
            return refuse(c, "expects an integer");
        case Kind::Date:
            return refuse(c, "expects a date");
        case Kind::Double:
            return refuse(c, "expects a number");
        case Kind::Flag:
            return refuse(c, "expects Yes/No");
        case Kind::Text: {
            const std::string* s = std::get_if<std::string>(&v);
            if (s == nullptr) return refuse(c, "expects text");
            std::u16string units;
            if (!text::fromUtf8(*s, units)) return refuse(c, "text is not valid UTF-8");
            return refuse(c, "text of " + std::to_string(units.size()) +
                                 " characters is longer than the column's " +
                                 std::to_string(c.maxBytes / 2));
        }
        case Kind::Binary:
        case Kind::LongValue:
            return refuse(c, "expects bytes or a value that fits");
        default:
            return Status::notSupported("column " + m_byNumber[c.number].name +
                                        ": type not supported by the writer");
    }
}

bool RowEncoder::encodeFixed(const Slot& c, const Value& v, uint8_t* at) const {
    switch (c.kind) {
        case Kind::Integer: {
            const int64_t* i = std::get_if<int64_t>(&v);
            if (i == nullptr) return false;
            const int bits = 8 * c.bytes;
            const int64_t lo = c.bytes == 1 ? 0 : -(int64_t{1} << (bits - 1));
            const int64_t hi = c.bytes == 1 ? 255 : (int64_t{1} << (bits - 1)) - 1;
            if (*i < lo || *i > hi) return false;
            for (int k = 0; k < c.bytes; ++k) at[k] = static_cast<uint8_t>(*i >> (8 * k));
            return true;
        }
        case Kind::Date: {
            const DateTime* dt = std::get_if<DateTime>(&v);
            if (dt == nullptr) return false;
            putF64(at, dt->days);
            return true;
        }
        case Kind::Double: {
            const double* x = std::get_if<double>(&v);
            if (x == nullptr) return false;
            putF64(at, *x);
            return true;
        }
        default:
            return false;
    }
}

bool RowEncoder::appendVariable(const Slot& c, const Value& v) {
    if (c.kind == Kind::Text) {
        const std::string* s = std::get_if<std::string>(&v);
        if (s == nullptr) return false;
        const std::size_t maxChars = c.maxBytes / 2;
        // Fast path: Latin-1 in the compressed form (ASCII, and two-byte UTF-8 sequences of
        // U+0080 to U+00FF), which covers most values; anything else the general way.
        if (c.compress && s->size() > 2 && s->size() <= maxChars) {
            uint8_t* at = &m_row[m_size];
            at[0] = fmt::kCompressedMarker0;
            at[1] = fmt::kCompressedMarker1;
            std::size_t n = 2;
            bool latin1 = true;
            for (std::size_t k = 0; k < s->size() && latin1; ++k) {
                const auto b = static_cast<uint8_t>((*s)[k]);
                if (b != 0 && b < 0x80) {
                    at[n++] = b;
                    continue;
                }
                const auto siguiente =
                    k + 1 < s->size() ? static_cast<uint8_t>((*s)[k + 1]) : uint8_t{0};
                latin1 = (b == 0xC2 || b == 0xC3) && (siguiente & 0xC0) == 0x80;
                if (latin1) at[n++] = static_cast<uint8_t>(((b & 0x1F) << 6) | (siguiente & 0x3F));
                ++k;
            }
            if (latin1 && n - 2 > 2) {
                m_size += n;
                return true;
            }
        }
        m_scratch.clear();
        std::size_t chars = 0;
        if (!text::appendColumnText(*s, c.compress, m_scratch, chars) || chars > maxChars) {
            return false;
        }
        std::memcpy(&m_row[m_size], m_scratch.data(), m_scratch.size());
        m_size += m_scratch.size();
        return true;
    }
    if (c.kind != Kind::Binary && c.kind != Kind::LongValue) return false;
    std::vector<uint8_t> data;
    if (const Bytes* b = std::get_if<Bytes>(&v)) {
        data = *b;
    } else if (const std::string* s = std::get_if<std::string>(&v);
               s != nullptr && m_byNumber[c.number].type == ColumnType::Memo) {
        std::size_t chars = 0;
        if (!text::appendColumnText(*s, false, data, chars)) return false;
    } else {
        return false;
    }
    if (c.kind == Kind::Binary && c.maxBytes != 0 && data.size() > c.maxBytes) return false;
    reserve(kLongValueDefinition + data.size() + 8 + 2 * m_var.size() + m_maskSize);
    if (c.kind == Kind::LongValue) {
        // Long values are kept inline in the row (FORMAT-writing.md "Long values").
        std::memset(&m_row[m_size], 0, kLongValueDefinition);
        putU32(&m_row[m_size], static_cast<uint32_t>(data.size()) | fmt::kLongValueInline);
        m_size += kLongValueDefinition;
    }
    std::memcpy(&m_row[m_size], data.data(), data.size());
    m_size += data.size();
    return true;
}

Status RowEncoder::encode(const std::vector<Value>& values) {
    if (values.size() != m_byNumber.size()) {
        return Status::invalidArgument("row has " + std::to_string(values.size()) + " values for " +
                                       std::to_string(m_byNumber.size()) + " columns");
    }
    uint8_t* row = m_row.data();
    std::memset(row, 0, 2 + m_fixedSize);
    putU16(row, static_cast<uint16_t>(m_byNumber.size()));
    uint8_t mask[32] = {};
    const auto markPresent = [&mask](uint16_t n) {
        mask[n / 8] = static_cast<uint8_t>(mask[n / 8] | (1u << (n % 8)));
    };
    for (const Slot& c : m_flags) {
        // A Yes/No value is its null-mask bit; a missing one is No.
        const Value& v = values[c.number];
        const bool* b = std::get_if<bool>(&v);
        if (b == nullptr && !isNull(v)) return refuseValue(c, v);
        if (b != nullptr && *b) markPresent(c.number);
    }
    for (const Slot& c : m_fixed) {
        const Value& v = values[c.number];
        if (isNull(v)) {
            if (c.required) return refuseValue(c, v);
            continue;
        }
        if (!encodeFixed(c, v, row + 2 + c.offset)) return refuseValue(c, v);
        markPresent(c.number);
    }
    m_size = 2 + m_fixedSize;
    uint16_t offsets[256];
    for (std::size_t k = 0; k < m_var.size(); ++k) {
        const Slot& c = m_var[k];
        offsets[k] = static_cast<uint16_t>(m_size);
        const Value& v = values[c.number];
        if (isNull(v)) {
            if (c.required) return refuseValue(c, v);
            continue;
        }
        if (!appendVariable(c, v)) return refuseValue(c, v);
        markPresent(c.number);
    }
    row = m_row.data();  // appendVariable may have grown the buffer
    if (!m_var.empty()) {
        const std::size_t eod = m_size;
        putU16(row + m_size, static_cast<uint16_t>(eod));
        m_size += 2;
        for (std::size_t k = m_var.size(); k-- > 0;) {
            putU16(row + m_size, offsets[k]);
            m_size += 2;
        }
        putU16(row + m_size, static_cast<uint16_t>(m_var.size()));
        m_size += 2;
    }
    std::memcpy(row + m_size, mask, m_maskSize);
    m_size += m_maskSize;
    if (m_size > fmt::kMaxRowSize) {
        return Status::invalidArgument("row of " + std::to_string(m_size) +
                                       " bytes is larger than a page can hold");
    }
    return Status::ok();
}

Status RowEncoder::encode(const std::vector<Value>& values, std::vector<uint8_t>& out) {
    Status st = encode(values);
    if (st) out.assign(data(), data() + size());
    return st;
}

}  // namespace lumaro::jet
