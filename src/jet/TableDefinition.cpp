#include "jet/TableDefinition.h"

#include <algorithm>
#include <unordered_set>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/PageSource.h"
#include "jet/Text.h"

namespace lumaro::jet {

using namespace format;

namespace {

Result<Bytes> readChain(const PageSource& source, uint32_t first) {
    if (first == 0) return Status::corruption("table definition on page 0, the database header");
    Bytes def;
    std::unordered_set<uint32_t> seen;
    for (uint32_t page = first; page != 0;) {
        if (!seen.insert(page).second) {
            return Status::corruption("table definition at " + where(first) +
                                      "continuation chain loops back to page " +
                                      std::to_string(page));
        }
        Result<Page> p = source.page(page);
        if (!p) return p.status();
        if (p->data()[0] != kPageTableDef) {
            return Status::corruption(where(page) +
                                      "expected a table definition page, found type " +
                                      std::to_string(p->data()[0]));
        }
        const uint8_t* bytes = p->data();
        def.insert(def.end(), bytes + (def.empty() ? 0 : kTdefContinuationHeader),
                   bytes + kPageSize);
        page = getU32(bytes + kTdefNextPageOffset);
    }
    return def;
}

}  // namespace

Status readTableDefinition(const PageSource& source, uint32_t tdefPage, Table::Data& out) {
    Result<Bytes> chain = readChain(source, tdefPage);
    if (!chain) return chain.status();
    const Bytes& d = chain.value();
    const std::string at = "table definition at " + where(tdefPage);
    const uint8_t* p = d.data();

    out.tdefPage = tdefPage;
    out.rowCount = getU32(p + kTdefRowCountOffset);
    out.system = p[kTdefTableTypeOffset] == kTableTypeSystem;
    out.maxColumns = getU16(p + kTdefMaxColumnsOffset);
    out.varColumns = getU16(p + kTdefVarColumnsOffset);
    const uint16_t columnCount = getU16(p + kTdefColumnCountOffset);
    out.logicalIndexes = getU32(p + kTdefLogicalIndexCountOffset);
    out.realIndexes = getU32(p + kTdefRealIndexCountOffset);
    out.ownedPagesPointer = getU32(p + kTdefOwnedPagesOffset);
    out.freePagesPointer = getU32(p + kTdefFreePagesOffset);

    if (out.realIndexes > d.size() / kTdefIndexCountSize) {
        return Status::corruption(at + "index count " + std::to_string(out.realIndexes) +
                                  " does not fit the definition");
    }
    const std::size_t columnsAt = kTdefIndexCountsOffset + kTdefIndexCountSize * out.realIndexes;
    if (columnCount == 0 || columnsAt + kTdefColumnSize * columnCount > d.size()) {
        return Status::corruption(at + "column count " + std::to_string(columnCount) +
                                  " does not fit the definition of " + std::to_string(d.size()) +
                                  " bytes");
    }
    std::size_t nameAt = columnsAt + kTdefColumnSize * columnCount;
    out.columns.clear();
    out.columns.reserve(columnCount);
    std::unordered_set<uint16_t> numbers;
    for (uint16_t i = 0; i < columnCount; ++i) {
        const uint8_t* c = p + columnsAt + kTdefColumnSize * i;
        Column col;
        col.type = static_cast<ColumnType>(c[kColType]);
        col.number = getU16(c + kColNumber);
        col.varIndex = getU16(c + kColVarIndex);
        col.precision = c[kColPrecision];
        col.scale = c[kColScale];
        col.flags = c[kColFlags];
        col.extFlags = c[kColExtFlags];
        col.fixedOffset = getU16(c + kColFixedOffset);
        col.storedLength = getU16(c + kColLength);
        col.fixed = (col.flags & kColFlagFixed) != 0;
        col.size = col.type == ColumnType::Text ? col.storedLength / 2 : col.storedLength;

        if (nameAt + 2 > d.size() || nameAt + 2 + getU16(p + nameAt) > d.size()) {
            return Status::corruption(at + "name of column " + std::to_string(i) +
                                      " runs past the definition");
        }
        const uint16_t nameLen = getU16(p + nameAt);
        decodeJetText(p + nameAt + 2, nameLen, col.name);
        nameAt += 2u + nameLen;

        const std::string colAt = at + "column \"" + col.name + "\": ";
        if (!numbers.insert(col.number).second) {
            return Status::corruption(colAt + "column number " + std::to_string(col.number) +
                                      " used twice");
        }
        const std::size_t need = fixedSizeOf(col.type);
        if (col.fixed && col.type != ColumnType::Boolean) {
            const std::size_t len = need != 0 ? need : col.storedLength;
            if (need != 0 && col.storedLength < need) {
                return Status::corruption(colAt + "stored length " +
                                          std::to_string(col.storedLength) +
                                          " too short for its type");
            }
            if (2u + col.fixedOffset + len > kMaxRowSize) {
                return Status::corruption(colAt + "fixed offset " +
                                          std::to_string(col.fixedOffset) +
                                          " beyond the largest row");
            }
        }
        if (!col.fixed) out.hasVariableColumns = true;
        out.columns.push_back(std::move(col));
    }
    std::sort(out.columns.begin(), out.columns.end(),
              [](const Column& a, const Column& b) { return a.number < b.number; });
    out.folded.clear();
    for (const Column& c : out.columns) out.folded.push_back(foldCase(c.name));
    return Status::ok();
}

Status applyProperties(const Bytes& blob, Table::Data& table) {
    // "MR2\0", then chunks: u32 length (including its 6-byte head), u16 chunk type, contents.
    const std::string at = "properties of table \"" + table.name + "\": ";
    if (blob.empty()) return Status::ok();
    if (blob.size() < 4 || blob[0] != 'M' || blob[1] != 'R' || blob[2] != '2' || blob[3] != 0) {
        return Status::corruption(at + "no MR2 signature");
    }
    std::vector<std::string> names;
    std::size_t pos = 4;
    while (pos + 6 <= blob.size()) {
        const uint32_t chunkLen = getU32(blob.data() + pos);
        const uint16_t type = getU16(blob.data() + pos + 4);
        if (chunkLen < 6 || chunkLen > blob.size() - pos) {
            return Status::corruption(at + "chunk at byte " + std::to_string(pos) + " of length " +
                                      std::to_string(chunkLen) + " runs past the blob");
        }
        const uint8_t* c = blob.data() + pos + 6;
        const std::size_t end = chunkLen - 6;
        if (type == kPropertyNames) {
            for (std::size_t q = 0; q + 2 <= end;) {
                const uint16_t n = getU16(c + q);
                if (q + 2 + n > end)
                    return Status::corruption(at + "property name runs past its chunk");
                names.push_back(decodeJetText(c + q + 2, n));
                q += 2u + n;
            }
        } else if (type == kPropertyValues || type == kPropertyDefaultValues) {
            // u32 length of the object-name block, u16 name length, name; then the entries:
            // u16 entry length, u8 DDL flag, u8 data type, u16 name index, u16 size, value.
            if (end < 6) return Status::corruption(at + "value chunk too short");
            const uint32_t nameBlock = getU32(c);
            const uint16_t objLen = getU16(c + 4);
            if (nameBlock < 6 || nameBlock > end || 6u + objLen > nameBlock) {
                return Status::corruption(at + "object name runs past its chunk");
            }
            const std::string object = foldCase(decodeJetText(c + 6, objLen));
            for (std::size_t q = nameBlock; q + 8 <= end;) {
                const uint16_t entryLen = getU16(c + q);
                const uint16_t nameIndex = getU16(c + q + 4);
                const uint16_t size = getU16(c + q + 6);
                if (entryLen < 8 || q + entryLen > end || 8u + size > entryLen) {
                    return Status::corruption(at + "property entry runs past its chunk");
                }
                if (nameIndex < names.size() && equalsIgnoreCase(names[nameIndex], "Required") &&
                    size >= 1) {
                    const bool on = c[q + 8] != 0;
                    for (std::size_t k = 0; k < table.columns.size(); ++k) {
                        if (table.folded[k] == object) table.columns[k].required = on;
                    }
                }
                q += entryLen;
            }
        }
        pos += chunkLen;
    }
    return Status::ok();
}

}  // namespace lumaro::jet
