#include "jet/SystemCatalog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "jet/Coding.h"
#include "jet/HeaderMask.h"
#include "jet/IndexKey.h"
#include "jet/JetFormat.h"
#include "jet/TableLayout.h"
#include "jet/TextCodec.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {

// ---- The four system tables, as Jet creates them -------------------------------------------

struct SysColumn {
    const char* name;
    ColumnType type;
    uint16_t number;
    uint16_t length;
    uint8_t flags;
};
struct SysIndex {
    std::vector<uint16_t> columns;
    uint32_t leafPage;
    uint8_t flags;
};
struct SysLogical {
    const char* name;
    uint32_t number;
    uint8_t type;
};
struct SysTable {
    const char* name;
    uint32_t tdefPage;
    std::vector<SysColumn> columns;  // in the order the definition stores them (by name)
    std::vector<SysIndex> indexes;
    std::vector<SysLogical> logical;  // stored order; the real index equals the number
};

constexpr uint8_t kFix = 0x13;  // fixed, updatable
constexpr uint8_t kVar = 0x12;  // variable, updatable
constexpr uint8_t kSid = 0x32;  // the binary owner and SID columns

using CT = ColumnType;

const std::vector<SysTable>& systemTables() {
    static const std::vector<SysTable> tables = {
        {"MSysObjects",
         2,
         {{"Connect", CT::Memo, 9, 0, kVar},
          {"Database", CT::Memo, 8, 0, kVar},
          {"DateCreate", CT::DateTime, 4, 8, kFix},
          {"DateUpdate", CT::DateTime, 5, 8, kFix},
          {"Flags", CT::Long, 7, 4, kFix},
          {"ForeignName", CT::Text, 10, 510, kVar},
          {"Id", CT::Long, 0, 4, kFix},
          {"Lv", CT::Ole, 13, 0, kVar},
          {"LvExtra", CT::Ole, 16, 0, kVar},
          {"LvModule", CT::Ole, 15, 0, kVar},
          {"LvProp", CT::Ole, 14, 0, kVar},
          {"Name", CT::Text, 2, 510, kVar},
          {"Owner", CT::Binary, 6, 510, kSid},
          {"ParentId", CT::Long, 1, 4, kFix},
          {"RmtInfoLong", CT::Ole, 12, 0, kVar},
          {"RmtInfoShort", CT::Binary, 11, 510, kVar},
          {"Type", CT::Integer, 3, 2, kFix}},
         {{{1, 2}, 7, 0x00}, {{0}, 8, 0x00}},
         {{"Id", 1, 1}, {"ParentIdName", 0, 0}}},
        {"MSysACEs",
         3,
         {{"ACM", CT::Long, 2, 4, kFix},
          {"FInheritable", CT::Boolean, 3, 1, kFix},
          {"ObjectId", CT::Long, 0, 4, kFix},
          {"SID", CT::Binary, 1, 510, kSid}},
         {{{0}, 9, 0x41}},
         {{"ObjectId", 0, 0}}},
        {"MSysQueries",
         4,
         {{"Attribute", CT::Byte, 1, 1, kFix},
          {"Expression", CT::Memo, 5, 0, kVar},
          {"Flag", CT::Integer, 6, 2, kFix},
          {"LvExtra", CT::Long, 7, 4, kFix},
          {"Name1", CT::Text, 3, 510, kVar},
          {"Name2", CT::Text, 4, 510, kVar},
          {"ObjectId", CT::Long, 0, 4, kFix},
          {"Order", CT::Binary, 2, 510, kVar}},
         {{{0, 1, 2}, 10, 0x65}},
         {{"ObjectIdAttribute", 0, 1}}},
        {"MSysRelationships",
         5,
         {{"ccolumn", CT::Long, 2, 4, kFix},
          {"grbit", CT::Long, 1, 4, kFix},
          {"icolumn", CT::Long, 3, 4, kFix},
          {"szColumn", CT::Text, 5, 510, kVar},
          {"szObject", CT::Text, 4, 510, kVar},
          {"szReferencedColumn", CT::Text, 7, 510, kVar},
          {"szReferencedObject", CT::Text, 6, 510, kVar},
          {"szRelationship", CT::Text, 0, 510, kVar}},
         {{{0}, 11, 0}, {{4}, 12, 0}, {{6}, 13, 0}},
         {{"szObject", 1, 0}, {"szReferencedObject", 2, 0}, {"szRelationship", 0, 0}}},
    };
    return tables;
}

constexpr uint32_t kUsageMapPage = 6;
constexpr uint32_t kCatalogDataPage = 14;
constexpr uint32_t kAceDataPage = 15;

// ---- Catalog and access-control rows of an empty database ------------------------------------

constexpr int32_t kTablesId = 0x0F000001;
constexpr int32_t kSystemObjectFlags = static_cast<int32_t>(0x80000000u);
const Bytes kOwnerSystem = {0x65, 0x89};
const Bytes kOwnerDb = {0x64, 0x8B};  // MSysDb's owner, also the owner of new objects

struct SysObject {
    int32_t id;
    int32_t parentId;
    const char* name;
    int type;
    const Bytes* owner;
};
const std::vector<SysObject>& systemObjects() {
    static const std::vector<SysObject> objects = {
        {kTablesId, 0x0F000000, "Tables", 3, &kOwnerSystem},
        {0x0F000002, 0x0F000000, "Databases", 3, &kOwnerSystem},
        {0x0F000003, 0x0F000000, "Relationships", 3, &kOwnerSystem},
        {0x10000000, 0x0F000002, "MSysDb", 2, &kOwnerDb},
        {2, kTablesId, "MSysObjects", 1, &kOwnerSystem},
        {3, kTablesId, "MSysACEs", 1, &kOwnerSystem},
        {4, kTablesId, "MSysQueries", 1, &kOwnerSystem},
        {5, kTablesId, "MSysRelationships", 1, &kOwnerSystem},
    };
    return objects;
}

struct Ace {
    int32_t objectId;
    uint32_t acm;
    std::array<uint8_t, 2> sid;
    bool inheritable;
};
const std::vector<Ace>& systemAces() {
    static const std::vector<Ace> aces = {
        {0x00000002, 0x00060000, {0x64, 0x8B}, false},
        {0x00000003, 0x00060000, {0x64, 0x8B}, false},
        {0x00000004, 0x00060000, {0x64, 0x8B}, false},
        {0x00000005, 0x000E0000, {0x64, 0x8B}, false},
        {0x0F000001, 0x000F00FE, {0x65, 0x8E}, true},
        {0x0F000001, 0x00060001, {0x64, 0x8B}, false},
        {0x0F000003, 0x000F00FE, {0x65, 0x8E}, true},
        {0x0F000003, 0x00060001, {0x64, 0x8B}, false},
        {0x0F000002, 0x00060000, {0x64, 0x8B}, false},
        {0x10000000, 0x0006000E, {0x64, 0x8B}, false},
        {0x10000000, 0x0000000E, {0x65, 0x8B}, false},
        {0x00000004, 0x00000014, {0x65, 0x8B}, false},
        {0x00000005, 0x00000014, {0x65, 0x8B}, false},
        {0x00000002, 0x00000014, {0x65, 0x8B}, false},
        {0x0F000001, 0x000FFEFF, {0x65, 0x8B}, true},
        {0x0F000003, 0x000FFFFF, {0x65, 0x8B}, true},
    };
    return aces;
}
constexpr uint32_t kFullAccess = 0x000FFFFF;  // granted on a new table to each SID of "Tables"

// ---- Header page ---------------------------------------------------------------------------

// The constant words at 0x18..0x2F of the unmasked header, as Jet writes them.
constexpr uint8_t kHeaderWords[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                    0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
constexpr std::size_t kHeaderUnknownOffset = 0x6A;
constexpr uint32_t kHeaderUnknownValue = 0x261C;
constexpr std::size_t kHeaderVersionTextOffset = 0x98;
constexpr uint8_t kHeaderVersionText[] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
constexpr std::size_t kHeaderTailOffset = 0xE00;

// ---- Building blocks -----------------------------------------------------------------------

struct PlacedRows {
    std::vector<uint32_t> pages;                       // data pages in order
    std::vector<std::pair<uint32_t, uint8_t>> rowIds;  // per row
};

// Packs rows into data pages owned by `tdefPage`: the first is `firstPage`, further ones are
// appended.
PlacedRows placeRows(uint32_t tdefPage, uint32_t firstPage,
                     const std::vector<std::vector<uint8_t>>& rows, const PagePlacer& place,
                     const PageAppender& append) {
    PlacedRows out;
    DataPageBuilder page(tdefPage);
    std::vector<PageBytes> pages;
    std::vector<std::pair<std::size_t, uint8_t>> slots;
    for (const auto& row : rows) {
        if (!page.fits(row.size())) {
            pages.push_back(page.bytes());
            page.reset(tdefPage);
        }
        const uint16_t n = page.add(row.data(), row.size());
        slots.emplace_back(pages.size(), static_cast<uint8_t>(n));
    }
    pages.push_back(page.bytes());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i == 0) {
            place(firstPage, pages[i]);
            out.pages.push_back(firstPage);
        } else {
            out.pages.push_back(append(pages[i]));
        }
    }
    for (const auto& [pageIndex, row] : slots) out.rowIds.emplace_back(out.pages[pageIndex], row);
    return out;
}

TableLayout systemLayout(const SysTable& t) {
    TableLayout layout;
    layout.tableType = fmt::kTableTypeSystem;
    for (const SysColumn& c : t.columns) {
        ColumnLayout col;
        col.name = c.name;
        col.type = c.type;
        col.number = c.number;
        col.length = c.length;
        col.flags = c.flags;
        layout.columns.push_back(col);
    }
    assignPositions(layout.columns);
    return layout;
}

}  // namespace

std::vector<uint8_t> usageMapRow(const std::vector<uint32_t>& pages, const PageAppender& append) {
    uint32_t start = 0;
    if (inlineMapStart(pages, start)) return inlineMapRow(start, pages);
    std::vector<uint32_t> mapPages;
    const uint32_t slots = pages.back() / fmt::kMapPagePagesCovered + 1;
    for (uint32_t i = 0; i < slots && i < kReferenceMapSlots; ++i) {
        const uint64_t first = uint64_t{i} * fmt::kMapPagePagesCovered;
        const bool used = std::any_of(pages.begin(), pages.end(), [&](uint32_t p) {
            return p >= first && p < first + fmt::kMapPagePagesCovered;
        });
        mapPages.push_back(used ? append(referenceMapPage(i, pages)) : 0);
    }
    return referenceMapRow(mapPages);
}

PageBytes headerPage(DateTime created) {
    PageBytes p{};
    p[1] = 0x01;
    std::memcpy(&p[fmt::kHeaderMagicOffset], fmt::kHeaderMagic, sizeof fmt::kHeaderMagic);
    p[fmt::kHeaderVersionOffset] = fmt::kVersionJet4;
    std::memcpy(&p[fmt::kHeaderMaskStart], kHeaderWords, sizeof kHeaderWords);
    putU16(&p[fmt::kHeaderCodePageOffset], fmt::kCodePage1252);
    // An empty password is stored XORed with a mask made from the creation date.
    const auto mask = static_cast<uint32_t>(static_cast<int32_t>(created.days));
    for (std::size_t k = 0; k < fmt::kHeaderPasswordLength; k += 4) {
        putU32(&p[fmt::kHeaderPasswordOffset + k], mask);
    }
    putU32(&p[kHeaderUnknownOffset], kHeaderUnknownValue);
    putU16(&p[fmt::kHeaderSortOrderOffset], fmt::kSortGeneral);
    putF64(&p[fmt::kHeaderCreationDateOffset], created.days);
    applyHeaderMask(p.data());
    std::memcpy(&p[kHeaderVersionTextOffset], kHeaderVersionText, sizeof kHeaderVersionText);
    p[kHeaderTailOffset] = 0x01;
    for (std::size_t k = kHeaderTailOffset + 1; k < fmt::kPageSize; k += 2) p[k] = 0x01;
    return p;
}

Bytes requiredProperties(const std::vector<std::string>& requiredColumns) {
    Bytes blob = {'M', 'R', '2', 0};
    const auto appendU16 = [&](uint16_t v) {
        blob.push_back(static_cast<uint8_t>(v));
        blob.push_back(static_cast<uint8_t>(v >> 8));
    };
    const auto appendU32 = [&](uint32_t v) {
        appendU16(static_cast<uint16_t>(v));
        appendU16(static_cast<uint16_t>(v >> 16));
    };
    const std::vector<uint8_t> propName = text::toUcs2("Required");
    appendU32(static_cast<uint32_t>(4 + 2 + 2 + propName.size()));
    appendU16(fmt::kPropertyNames);
    appendU16(static_cast<uint16_t>(propName.size()));
    blob.insert(blob.end(), propName.begin(), propName.end());
    for (const std::string& column : requiredColumns) {
        const std::vector<uint8_t> name = text::toUcs2(column);
        const uint32_t nameBlock = static_cast<uint32_t>(4 + 2 + name.size());
        appendU32(4 + 2 + nameBlock + 9);
        appendU16(fmt::kPropertyValues);
        appendU32(nameBlock);
        appendU16(static_cast<uint16_t>(name.size()));
        blob.insert(blob.end(), name.begin(), name.end());
        appendU16(9);       // property length
        blob.push_back(1);  // DDL flag
        blob.push_back(static_cast<uint8_t>(ColumnType::Boolean));
        appendU16(0);  // name index: "Required"
        appendU16(1);
        blob.push_back(0xFF);  // true
    }
    return blob;
}

Status checkCatalogFits(const std::vector<CatalogTable>& tables) {
    constexpr std::size_t kLeafRoom = fmt::kPageSize - 0x1E0;
    constexpr std::size_t kLongEntry = 5 + 4;  // integer key and row pointer
    std::size_t byName = 0;
    const auto addName = [&](int32_t parent, const std::string& name) {
        std::vector<uint8_t> key;
        indexkey::appendLong(key, parent);
        Status st = indexkey::appendText(key, name);
        byName += key.size() + 4;
        return st;
    };
    std::size_t tableAces = 0;
    for (const SysObject& o : systemObjects()) addName(o.parentId, o.name);
    for (const Ace& a : systemAces()) tableAces += a.objectId == kTablesId ? 1 : 0;
    for (const CatalogTable& t : tables) {
        Status st = addName(kTablesId, t.name);
        if (!st) return st;
    }
    const std::size_t objects = systemObjects().size() + tables.size();
    const std::size_t aces = systemAces().size() + tables.size() * tableAces;
    if (byName > kLeafRoom || objects * kLongEntry > kLeafRoom || aces * kLongEntry > kLeafRoom) {
        return Status::notSupported("the catalog of " + std::to_string(tables.size()) +
                                    " tables outgrows its index pages");
    }
    return Status::ok();
}

Status buildSystemPages(DateTime created, const std::vector<CatalogTable>& tables,
                        const PagePlacer& place, const PageAppender& append) {
    place(0, headerPage(created));

    // MSysObjects rows: the eight system objects, then one per user table.
    const SysTable& objectsDef = systemTables()[0];
    RowEncoder objectsRow(systemLayout(objectsDef).columns);
    struct ObjectRow {
        int32_t id;
        int32_t parentId;
        std::string name;
    };
    std::vector<ObjectRow> objects;
    std::vector<std::vector<uint8_t>> objectRows;
    const auto addObject = [&](int32_t id, int32_t parentId, const std::string& name, int type,
                               const Bytes& owner, int32_t flags, DateTime date,
                               const Bytes& props) -> Status {
        std::vector<Value> v(17);
        v[0] = int64_t{id};
        v[1] = int64_t{parentId};
        v[2] = name;
        v[3] = int64_t{type};
        v[4] = date;
        v[5] = date;
        v[6] = owner;
        v[7] = int64_t{flags};
        if (!props.empty()) v[14] = props;
        std::vector<uint8_t> row;
        Status st = objectsRow.encode(v, row);
        if (!st) return st;
        objects.push_back({id, parentId, name});
        objectRows.push_back(std::move(row));
        return Status::ok();
    };
    for (const SysObject& o : systemObjects()) {
        Status st =
            addObject(o.id, o.parentId, o.name, o.type, *o.owner, kSystemObjectFlags, created, {});
        if (!st) return st;
    }
    for (const CatalogTable& t : tables) {
        Status st = addObject(static_cast<int32_t>(t.tdefPage), kTablesId, t.name,
                              fmt::kObjectTypeTable, kOwnerDb, 0, t.created, t.properties);
        if (!st) return Status::invalidArgument("table " + t.name + ": " + st.message());
    }

    // MSysACEs rows: the system ones, then full access for each SID of "Tables", in the order
    // the "Tables" entries stand in the ObjectId index (by row).
    std::vector<Ace> aces = systemAces();
    std::vector<std::array<uint8_t, 2>> tableSids;
    for (const Ace& a : systemAces()) {
        if (a.objectId == kTablesId) tableSids.push_back(a.sid);
    }
    for (const CatalogTable& t : tables) {
        for (const auto& sid : tableSids) {
            aces.push_back({static_cast<int32_t>(t.tdefPage), kFullAccess, sid, false});
        }
    }
    RowEncoder aceRow(systemLayout(systemTables()[1]).columns);
    std::vector<std::vector<uint8_t>> aceRows;
    for (const Ace& a : aces) {
        std::vector<Value> v(4);
        v[0] = int64_t{a.objectId};
        v[1] = Bytes(a.sid.begin(), a.sid.end());
        v[2] = int64_t{static_cast<int32_t>(a.acm)};
        v[3] = a.inheritable;
        std::vector<uint8_t> row;
        Status st = aceRow.encode(v, row);
        if (!st) return st;
        aceRows.push_back(std::move(row));
    }

    const PlacedRows objectPlace = placeRows(2, kCatalogDataPage, objectRows, place, append);
    const PlacedRows acePlace = placeRows(3, kAceDataPage, aceRows, place, append);

    // Index leaves.
    std::vector<LeafEntry> byParentName, byId, byObjectId;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const auto [pg, row] = objectPlace.rowIds[i];
        LeafEntry e{{}, pg, row};
        indexkey::appendLong(e.key, objects[i].parentId);
        Status st = indexkey::appendText(e.key, objects[i].name);
        if (!st) return Status::notSupported("table name " + objects[i].name + ": " + st.message());
        byParentName.push_back(e);
        LeafEntry id{{}, pg, row};
        indexkey::appendLong(id.key, objects[i].id);
        byId.push_back(id);
    }
    std::set<int32_t> distinctAceObjects;
    for (std::size_t i = 0; i < aces.size(); ++i) {
        const auto [pg, row] = acePlace.rowIds[i];
        LeafEntry e{{}, pg, row};
        indexkey::appendLong(e.key, aces[i].objectId);
        byObjectId.push_back(e);
        distinctAceObjects.insert(aces[i].objectId);
    }
    const std::map<uint32_t, std::pair<uint32_t, std::vector<LeafEntry>*>> leaves = {
        {7, {2, &byParentName}}, {8, {2, &byId}}, {9, {3, &byObjectId}}};
    for (uint32_t leaf = 7; leaf <= 13; ++leaf) {
        std::vector<LeafEntry> none;
        const auto it = leaves.find(leaf);
        const uint32_t owner = it != leaves.end() ? it->second.first : (leaf == 10 ? 4 : 5);
        Result<PageBytes> page =
            buildLeafPage(owner, it != leaves.end() ? *it->second.second : none);
        if (!page) return page.status();
        place(leaf, page.value());
    }

    // Usage-map rows on page 6, table after table: owned pages, free-space pages, the two maps
    // of each long-value column in column order, then one map per index. Then the definitions.
    DataPageBuilder maps(0);
    const auto addMap = [&](const std::vector<uint32_t>& pages) {
        const std::vector<uint8_t> row = usageMapRow(pages, append);
        return makeRowPointer(kUsageMapPage, maps.add(row.data(), row.size()));
    };
    for (const SysTable& def : systemTables()) {
        TableLayout layout = systemLayout(def);
        std::vector<uint32_t> dataPages;
        if (def.tdefPage == 2) dataPages = objectPlace.pages;
        if (def.tdefPage == 3) dataPages = acePlace.pages;
        layout.ownedPages = addMap(dataPages);
        layout.freePages = addMap(dataPages);
        std::vector<uint16_t> longValueColumns;
        for (const SysColumn& c : def.columns) {
            if (c.type == CT::Memo || c.type == CT::Ole) longValueColumns.push_back(c.number);
        }
        std::sort(longValueColumns.begin(), longValueColumns.end());
        std::map<uint16_t, std::pair<uint32_t, uint32_t>> longValueMaps;
        for (uint16_t column : longValueColumns) {
            const uint32_t used = addMap({});
            longValueMaps[column] = {used, addMap({})};
        }
        for (const ColumnLayout& c : layout.columns) {
            const auto it = longValueMaps.find(c.number);
            if (it != longValueMaps.end()) {
                layout.longValueMaps.push_back({c.number, it->second.first, it->second.second});
            }
        }
        const uint32_t rows = def.tdefPage == 2   ? static_cast<uint32_t>(objects.size())
                              : def.tdefPage == 3 ? static_cast<uint32_t>(aces.size())
                                                  : 0;
        layout.rowCount = rows;
        for (const SysIndex& idx : def.indexes) {
            RealIndexLayout real;
            real.columns = idx.columns;
            real.usageMap = addMap({idx.leafPage});
            real.firstPage = idx.leafPage;
            real.flags = idx.flags;
            real.uniqueCount =
                def.tdefPage == 3 ? static_cast<uint32_t>(distinctAceObjects.size()) : rows;
            layout.realIndexes.push_back(real);
        }
        for (const SysLogical& l : def.logical) {
            layout.logicalIndexes.push_back({l.name, l.number, l.number, l.type});
        }
        Result<std::vector<uint8_t>> tdef = encodeTableDefinition(layout);
        if (!tdef) return tdef.status();
        PageBytes page{};
        std::memcpy(page.data(), tdef.value().data(), page.size());
        place(def.tdefPage, page);
    }
    place(kUsageMapPage, maps.bytes());
    return Status::ok();
}

void buildGlobalMap(uint32_t pageCount, const PagePlacer& place, const PageAppender& append) {
    constexpr uint32_t kInlinePages = (fmt::kMapInlineRowSize - fmt::kMapInlineBitsOffset) * 8;
    DataPageBuilder page(fmt::kGlobalMapPage);
    std::vector<uint8_t> row;
    if (pageCount <= kInlinePages) {
        std::vector<uint32_t> freePages;
        for (uint32_t p = pageCount; p < kInlinePages; ++p) freePages.push_back(p);
        row = inlineMapRow(0, freePages);
    } else {
        // The map pages are part of the file they describe.
        uint32_t maps = 1;
        while (uint64_t{maps} * fmt::kMapPagePagesCovered < uint64_t{pageCount} + maps) ++maps;
        const uint32_t total = pageCount + maps;
        const uint32_t covered = maps * fmt::kMapPagePagesCovered;
        std::vector<uint32_t> freePages;
        for (uint32_t p = total; p < covered; ++p) freePages.push_back(p);
        std::vector<uint32_t> mapPages;
        for (uint32_t i = 0; i < maps; ++i)
            mapPages.push_back(append(referenceMapPage(i, freePages)));
        row = referenceMapRow(mapPages);
    }
    page.add(row.data(), row.size());
    const std::vector<uint8_t> second(fmt::kMapInlineRowSize, 0);
    page.add(second.data(), second.size());
    place(fmt::kGlobalMapPage, page.bytes());
}

}  // namespace lumaro::jet
