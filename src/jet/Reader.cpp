#include "jet/Reader.h"

#include <cstring>

#include "jet/Coding.h"
#include "jet/DataPage.h"
#include "jet/HeaderMask.h"
#include "jet/JetFormat.h"
#include "jet/PageSource.h"
#include "jet/RowDecoder.h"
#include "jet/TableDefinition.h"
#include "jet/Text.h"
#include "jet/UsageMap.h"

namespace lumaro::jet {

using namespace format;

struct Database::Data {
    uint16_t codePage = 0;
    uint16_t sortOrder = 0;
    uint8_t sortVersion = 0;
    double created = 0;
    std::vector<CatalogEntry> catalog;
};

// ---- Catalog entries --------------------------------------------------------------------------

bool CatalogEntry::isTable() const { return type == kObjectTypeTable; }
bool CatalogEntry::isUserTable() const { return isTable() && (flags & kObjectFlagsSystem) == 0; }
uint32_t CatalogEntry::tdefPage() const { return static_cast<uint32_t>(id) & kObjectIdPageMask; }

// ---- Row --------------------------------------------------------------------------------------

const Value* Row::field(std::string_view columnName) const {
    const int i = m_table->columnIndex(columnName);
    return i < 0 ? nullptr : &(*m_values)[static_cast<std::size_t>(i)];
}

bool Row::nullMaskBit(const Column& column, uint16_t& byteOffset, uint8_t& mask) const {
    if (column.number >= m_storedColumns) return false;
    const uint16_t maskLen = static_cast<uint16_t>((m_storedColumns + 7) / 8);
    byteOffset = static_cast<uint16_t>(m_offset + m_length - maskLen + column.number / 8);
    mask = static_cast<uint8_t>(1u << (column.number % 8));
    return true;
}

// ---- Table ------------------------------------------------------------------------------------

const std::string& Table::name() const { return m_data->name; }
uint32_t Table::definitionPage() const { return m_data->tdefPage; }
bool Table::isSystem() const { return m_data->system; }
uint32_t Table::storedRowCount() const { return m_data->rowCount; }
uint32_t Table::ownedPagesPointer() const { return m_data->ownedPagesPointer; }
uint32_t Table::freePagesPointer() const { return m_data->freePagesPointer; }
uint16_t Table::variableColumnCount() const { return m_data->varColumns; }
uint32_t Table::realIndexCount() const { return m_data->realIndexes; }
uint32_t Table::logicalIndexCount() const { return m_data->logicalIndexes; }
const std::vector<Column>& Table::columns() const { return m_data->columns; }

int Table::columnIndex(std::string_view name) const {
    // No allocation: callers may look fields up by name for every row.
    for (std::size_t i = 0; i < m_data->folded.size(); ++i) {
        if (equalsIgnoreCase(m_data->folded[i], name)) return static_cast<int>(i);
    }
    return -1;
}

const Column* Table::column(std::string_view name) const {
    const int i = columnIndex(name);
    return i < 0 ? nullptr : &m_data->columns[static_cast<std::size_t>(i)];
}

Result<std::vector<uint32_t>> Table::ownedPages() const {
    Result<std::vector<uint32_t>> pages = readUsageMap(*m_source, m_data->ownedPagesPointer);
    if (!pages) {
        return Status::corruption("table \"" + m_data->name +
                                  "\": owned pages: " + pages.status().message());
    }
    return pages;
}

Status Table::forEachRow(const RowVisitor& visit) const {
    Result<std::vector<uint32_t>> pages = ownedPages();
    if (!pages) return pages.status();
    const std::string table = "table \"" + m_data->name + "\": ";
    std::vector<Value> values;
    Row r;
    r.m_table = this;
    r.m_values = &values;
    for (uint32_t pageNumber : pages.value()) {
        Result<Page> page = m_source->page(pageNumber);
        if (!page) return Status::corruption(table + page.status().message());
        const uint8_t* p = page->data();
        // The map may list pages that are not (or no longer) this table's data pages; a scan
        // passes over them as Jet does.
        if (p[0] != kPageData || getU32(p + kDataOwnerOffset) != m_data->tdefPage) continue;
        Result<uint16_t> count = dataPageRowCount(page.value());
        if (!count) return Status::corruption(table + count.status().message());
        for (uint16_t row = 0; row < count.value(); ++row) {
            Result<RowSlot> slot = dataPageRow(page.value(), count.value(), row);
            if (!slot) return Status::corruption(table + slot.status().message());
            if (slot->deleted()) continue;
            RowRef at{page.value(), slot.value(), row};
            // A moved row leaves a 4-byte pointer (row, page) behind; its new home is flagged
            // deleted so that a scan meets it only here. Chains are short; a loop is damage.
            for (int hops = 0; at.slot.overflow(); ++hops) {
                if (hops == 8 || at.slot.length() < 4) {
                    return Status::corruption(table + where(pageNumber, row) +
                                              (hops == 8
                                                   ? "overflow pointers loop or chain too long"
                                                   : "overflow pointer shorter than 4 bytes"));
                }
                const uint32_t ptr = getU32(at.page.data() + at.slot.start);
                Result<RowRef> next = findRow(*m_source, rowPointerPage(ptr), rowPointerRow(ptr));
                if (!next) {
                    return Status::corruption(table + where(pageNumber, row) +
                                              "overflow pointer: " + next.status().message());
                }
                at = next.value();
            }
            r.m_id = RowId{pageNumber, row};
            r.m_storedAt = RowId{at.page.number, at.row};
            r.m_offset = at.slot.start;
            r.m_length = at.slot.length();
            Status s = decodeRow(*m_data, *m_source, at.page.data() + at.slot.start,
                                 at.slot.length(), values, r.m_storedColumns);
            if (!s) return Status::corruption(table + where(at.page.number, at.row) + s.message());
            if (!visit(r)) return Status::ok();
        }
    }
    return Status::ok();
}

Result<std::vector<std::vector<Value>>> Table::readAll() const {
    std::vector<std::vector<Value>> rows;
    Status s = forEachRow([&](const Row& r) {
        rows.push_back(r.values());
        return true;
    });
    if (!s) return s;
    return rows;
}

// ---- Database ---------------------------------------------------------------------------------

namespace {

int64_t integerOr(const Value& v, int64_t fallback) {
    const auto* i = std::get_if<int64_t>(&v);
    return i ? *i : fallback;
}

}  // namespace

Result<Table> Database::loadTable(std::shared_ptr<const PageSource> source, std::string name,
                                  uint32_t tdefPage, const Bytes* lvProp) {
    auto data = std::make_shared<Table::Data>();
    data->name = std::move(name);
    Status s = readTableDefinition(*source, tdefPage, *data);
    if (!s) return Status::corruption("table \"" + data->name + "\": " + s.message());
    if (lvProp) {
        if (Status p = applyProperties(*lvProp, *data); !p) return p;
    }
    Table t;
    t.m_source = std::move(source);
    t.m_data = std::move(data);
    return t;
}

Result<Database> Database::open(const std::string& path) {
    Result<std::shared_ptr<PageSource>> source = PageSource::openFile(path);
    if (!source) return source.status();
    return fromSource(std::move(source.value()));
}

Result<Database> Database::openBytes(std::vector<uint8_t> bytes) {
    Result<std::shared_ptr<PageSource>> source = PageSource::openBytes(std::move(bytes));
    if (!source) return source.status();
    return fromSource(std::move(source.value()));
}

Result<Database> Database::fromSource(std::shared_ptr<PageSource> source) {
    Result<Page> first = source->page(0);
    if (!first) return first.status();
    uint8_t header[kPageSize];
    std::memcpy(header, first->data(), kPageSize);
    if (header[0] != kPageHeader ||
        std::memcmp(header + kHeaderMagicOffset, kHeaderMagic, 16) != 0) {
        return Status::corruption(where(0) +
                                  "not a Jet database (no \"Standard Jet DB\" signature)");
    }
    const uint8_t version = header[kHeaderVersionOffset];
    if (version == kVersionJet3) {
        return Status::notSupported(where(0) + "Jet 3 (Access 97) database; only Jet 4.0 is read");
    }
    if (version != kVersionJet4) {
        return Status::notSupported(where(0) + "database version " + std::to_string(version) +
                                    " (Access 2007 or later); only Jet 4.0 is read");
    }
    applyHeaderMask(header);
    if (getU32(header + kHeaderDbKeyOffset) != 0) {
        return Status::notSupported(where(0) + "encrypted database");
    }
    auto data = std::make_shared<Data>();
    data->codePage = getU16(header + kHeaderCodePageOffset);
    data->sortOrder = getU16(header + kHeaderSortOrderOffset);
    data->sortVersion = header[kHeaderSortVersionOffset];
    data->created = getF64(header + kHeaderCreationDateOffset);

    Result<Table> catalog = loadTable(source, "MSysObjects", kCatalogTdefPage, nullptr);
    if (!catalog) return Status::corruption("catalog: " + catalog.status().message());
    const Table& t = catalog.value();
    const int id = t.columnIndex("Id"), parent = t.columnIndex("ParentId"),
              name = t.columnIndex("Name"), type = t.columnIndex("Type"),
              flags = t.columnIndex("Flags"), lvProp = t.columnIndex("LvProp");
    if (id < 0 || parent < 0 || name < 0 || type < 0 || flags < 0) {
        return Status::corruption(
            "catalog: MSysObjects lacks one of Id, ParentId, Name, Type, Flags");
    }
    Status s = t.forEachRow([&](const Row& r) {
        CatalogEntry e;
        e.id = static_cast<int32_t>(integerOr(r[static_cast<std::size_t>(id)], 0));
        e.parentId = static_cast<int32_t>(integerOr(r[static_cast<std::size_t>(parent)], 0));
        if (const auto* n = std::get_if<std::string>(&r[static_cast<std::size_t>(name)]))
            e.name = *n;
        e.type = static_cast<int>(integerOr(r[static_cast<std::size_t>(type)], 0));
        e.flags = static_cast<uint32_t>(integerOr(r[static_cast<std::size_t>(flags)], 0));
        if (lvProp >= 0) {
            if (const auto* b = std::get_if<Bytes>(&r[static_cast<std::size_t>(lvProp)]))
                e.lvProp = *b;
        }
        e.rowId = r.id();
        data->catalog.push_back(std::move(e));
        return true;
    });
    if (!s) return Status::corruption("catalog: " + s.message());

    Database db;
    db.m_source = std::move(source);
    db.m_data = std::move(data);
    return db;
}

const std::string& Database::path() const { return m_source->path(); }
uint32_t Database::pageCount() const { return m_source->pageCount(); }
uint16_t Database::codePage() const { return m_data->codePage; }
uint16_t Database::sortOrder() const { return m_data->sortOrder; }
uint8_t Database::sortVersion() const { return m_data->sortVersion; }
DateTime Database::creationDate() const { return DateTime{m_data->created}; }
const std::vector<CatalogEntry>& Database::catalog() const { return m_data->catalog; }

std::vector<std::string> Database::tableNames() const {
    std::vector<std::string> names;
    for (const CatalogEntry& e : m_data->catalog) {
        if (e.isUserTable()) names.push_back(e.name);
    }
    return names;
}

Result<Table> Database::table(std::string_view name) const {
    const std::string folded = foldCase(name);
    for (const CatalogEntry& e : m_data->catalog) {
        if (e.isTable() && foldCase(e.name) == folded) {
            return loadTable(m_source, e.name, e.tdefPage(), &e.lvProp);
        }
    }
    return Status::notFound("no table \"" + std::string(name) + "\"");
}

Result<Page> Database::page(uint32_t number) const { return m_source->page(number); }

Result<Bytes> Database::rowBytes(uint32_t page, uint16_t row) const {
    Result<RowRef> ref = findRow(*m_source, page, row);
    if (!ref) return ref.status();
    const uint8_t* start = ref->page.data() + ref->slot.start;
    return Bytes(start, start + ref->slot.length());
}

Result<std::vector<uint32_t>> Database::usageMapPages(uint32_t rowPointer) const {
    return readUsageMap(*m_source, rowPointer, rowPointer == makeRowPointer(kGlobalMapPage, 0));
}

}  // namespace lumaro::jet
