#include "jet/Checker.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "jet/Coding.h"
#include "jet/IndexKey.h"
#include "jet/JetFormat.h"
#include "jet/Reader.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {

constexpr std::size_t kLeafMaskOffset = 0x1B;
constexpr std::size_t kLeafFirstEntry = 0x1E0;
constexpr std::size_t kLeafPrefixOffset = 0x18;
constexpr std::size_t kMaxIndexPages = 4096;
constexpr std::size_t kIndexFlagsOffset = 46;  // in a real index definition
constexpr uint8_t kIndexIgnoresNulls = 0x02;

// True when a data page holds at least one row not flagged deleted.
bool hasLiveRows(const uint8_t* p) {
    const uint16_t rows = getU16(p + fmt::kDataRowCountOffset);
    for (uint16_t i = 0; i < rows && fmt::kDataRowTableOffset + 2u * i + 2 <= fmt::kPageSize; ++i) {
        if (!(getU16(p + fmt::kDataRowTableOffset + 2 * i) & fmt::kRowDeletedFlag)) return true;
    }
    return false;
}

// True when the message tells of a page the file does not reach: the file was cut short.
bool cutShort(const std::string& message) {
    return message.find("beyond the end of the file") != std::string::npos;
}

// Sorts findings into damage and notes. A file cut short and a page that cannot be read are
// damage wherever they are met; anything else is damage only where `damage` says so.
class Findings {
public:
    explicit Findings(CheckReport& report) : m_report(report) {}
    void add(bool damage, std::string text) {
        (damage || cutShort(text) ? m_report.damage : m_report.notes).push_back(std::move(text));
    }
    void add(bool damage, const std::string& label, const Status& s) {
        add(damage || s.code() == Status::Code::IoError, label + ": " + s.message());
    }

private:
    CheckReport& m_report;
};

using Entry = std::tuple<std::vector<uint8_t>, uint32_t, uint8_t>;  // key, page, row

struct IndexInfo {
    std::vector<uint16_t> columns;
    std::vector<bool> ascending;
    uint32_t firstPage = 0;
    bool ignoresNulls = false;  // rows whose key columns are all null have no entry
};

// The real indexes of a table definition held in one page (the catalog's always is).
Result<std::vector<IndexInfo>> readIndexes(const Database& db, uint32_t tdefPage) {
    Result<Page> page = db.page(tdefPage);
    if (!page) return page.status();
    const uint8_t* p = page->data();
    const std::string where = "table definition page " + std::to_string(tdefPage);
    if (p[0] != fmt::kPageTableDef) return Status::corruption(where + ": not a definition page");
    const uint32_t length = getU32(p + fmt::kTdefLengthOffset);
    const uint16_t columns = getU16(p + fmt::kTdefColumnCountOffset);
    const uint32_t reals = getU32(p + fmt::kTdefRealIndexCountOffset);
    if (length > fmt::kPageSize || reals > 64) {
        return Status::notSupported(where + ": spans pages or has too many indexes");
    }
    std::size_t o = fmt::kTdefIndexCountsOffset + fmt::kTdefIndexCountSize * reals +
                    fmt::kTdefColumnSize * columns;
    for (uint16_t i = 0; i < columns; ++i) {
        if (o + 2 > length) return Status::corruption(where + ": column names run past its end");
        o += 2 + getU16(p + o);
    }
    std::vector<IndexInfo> out;
    for (uint32_t i = 0; i < reals; ++i, o += fmt::kTdefRealIndexSize) {
        if (o + fmt::kTdefRealIndexSize > length) {
            return Status::corruption(where + ": index definitions run past its end");
        }
        IndexInfo info;
        for (std::size_t k = 0; k < 10; ++k) {
            const uint16_t c = getU16(p + o + 4 + 3 * k);
            if (c != 0xFFFF) {
                info.columns.push_back(c);
                info.ascending.push_back(p[o + 4 + 3 * k + 2] == 0x01);
            }
        }
        info.firstPage = getU32(p + o + 38);
        info.ignoresNulls = (p[o + kIndexFlagsOffset] & kIndexIgnoresNulls) != 0;
        out.push_back(info);
    }
    return out;
}

// Every leaf entry of an index, following intermediate pages from its root.
Status readEntries(const Database& db, uint32_t root, std::vector<Entry>& out) {
    std::vector<uint32_t> todo = {root};
    std::set<uint32_t> seen;
    while (!todo.empty()) {
        const uint32_t number = todo.back();
        todo.pop_back();
        if (!seen.insert(number).second || seen.size() > kMaxIndexPages) {
            return Status::corruption("index page " + std::to_string(number) + " is visited twice");
        }
        Result<Page> page = db.page(number);
        if (!page) return page.status();
        const uint8_t* p = page->data();
        const bool leaf = p[0] == fmt::kPageIndexLeaf;
        if (!leaf && p[0] != fmt::kPageIndexNode) {
            return Status::corruption("page " + std::to_string(number) + " is not an index page");
        }
        const std::size_t end = fmt::kPageSize - getU16(p + 2);
        const std::size_t prefix = getU16(p + kLeafPrefixOffset);
        if (end > fmt::kPageSize || end < kLeafFirstEntry) {
            return Status::corruption("index page " + std::to_string(number) + ": bad free space");
        }
        std::vector<std::size_t> starts = {kLeafFirstEntry};
        for (std::size_t bit = 1; kLeafFirstEntry + bit < end; ++bit) {
            if (p[kLeafMaskOffset + bit / 8] & (1u << (bit % 8)))
                starts.push_back(kLeafFirstEntry + bit);
        }
        starts.push_back(end);
        std::vector<uint8_t> first;
        const std::size_t tail = leaf ? 4 : 8;
        for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
            if (starts[k + 1] <= starts[k]) continue;
            std::vector<uint8_t> full(p + starts[k], p + starts[k + 1]);
            if (k == 0) {
                first = full;
            } else if (prefix > 0) {
                full.insert(full.begin(), first.begin(),
                            first.begin() + std::min(prefix, first.size()));
            }
            if (full.size() < tail) {
                return Status::corruption("index page " + std::to_string(number) + ": short entry");
            }
            const uint8_t* ptr = full.data() + full.size() - tail;
            const uint32_t pg = (uint32_t{ptr[0]} << 16) | (uint32_t{ptr[1]} << 8) | ptr[2];
            if (leaf) {
                out.emplace_back(std::vector<uint8_t>(full.begin(), full.end() - 4), pg, ptr[3]);
            } else {
                todo.push_back(getU32(ptr + 4));
            }
        }
        if (leaf && getU32(p + 16) != 0) todo.push_back(getU32(p + 16));  // next leaf
    }
    return Status::ok();
}

constexpr uint32_t kMaxIndexCheckRows = 200000;  // keys are held in memory for the check
constexpr uint8_t kAscendingNull = 0x00;

// Compares the entries of every index of `table` whose columns are all ascending Long Integer
// or Text with the keys computed from its rows (in both directions). The table is read by its
// usage map, never by an index, so what differs is a note unless the file is cut short.
void checkIndexes(const Database& db, const Table& table, Findings& findings) {
    const bool catalog = table.definitionPage() == fmt::kCatalogTdefPage;
    if (table.realIndexCount() == 0 || table.storedRowCount() > kMaxIndexCheckRows) return;
    Result<std::vector<IndexInfo>> indexes = readIndexes(db, table.definitionPage());
    if (!indexes) {
        if (catalog || indexes.status().code() != Status::Code::NotSupported) {
            findings.add(false, "table " + table.name() + ", indexes", indexes.status());
        }
        return;
    }
    for (const IndexInfo& index : indexes.value()) {
        std::vector<const Column*> columns;
        std::string label;
        for (std::size_t k = 0; k < index.columns.size(); ++k) {
            const Column* found = nullptr;
            for (const Column& c : table.columns()) {
                if (c.number == index.columns[k]) found = &c;
            }
            const bool keyable =
                found != nullptr && index.ascending[k] &&
                (found->type == ColumnType::Long || found->type == ColumnType::Text);
            if (!keyable) {
                columns.clear();
                break;
            }
            columns.push_back(found);
            label += (label.empty() ? "" : ", ") + found->name;
        }
        if (columns.empty()) continue;
        label = "table " + table.name() + ", index (" + label + ")";
        std::vector<Entry> found;
        if (Status st = readEntries(db, index.firstPage, found); !st) {
            findings.add(false, label, st);
            continue;
        }
        std::vector<Entry> expected;
        std::set<std::pair<uint32_t, uint8_t>> unkeyed;  // rows with names we cannot key
        Status scanned = table.forEachRow([&](const Row& row) {
            std::vector<uint8_t> key;
            bool keyed = true, allNull = true;
            for (const Column* c : columns) {
                const Value& v = row.values()[static_cast<std::size_t>(table.columnIndex(c->name))];
                allNull = allNull && isNull(v);
                if (isNull(v)) {
                    key.push_back(kAscendingNull);
                } else if (const int64_t* n = std::get_if<int64_t>(&v)) {
                    indexkey::appendLong(key, static_cast<int32_t>(*n));
                } else if (const std::string* t = std::get_if<std::string>(&v)) {
                    keyed = keyed && indexkey::appendText(key, *t).isOk();
                }
            }
            const auto at = std::make_pair(row.id().page, static_cast<uint8_t>(row.id().row));
            if (allNull && index.ignoresNulls) return true;
            if (keyed) {
                expected.emplace_back(key, at.first, at.second);
            } else {
                unkeyed.insert(at);
            }
            return true;
        });
        if (!scanned) continue;  // reported with the row count
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        const auto where = [](const Entry& e) {
            return "page " + std::to_string(std::get<1>(e)) + ", row " +
                   std::to_string(std::get<2>(e));
        };
        for (const Entry& e : expected) {
            if (!std::binary_search(found.begin(), found.end(), e)) {
                findings.add(false, label + ": no entry for the row at " + where(e));
            }
        }
        for (const Entry& e : found) {
            if (unkeyed.count({std::get<1>(e), std::get<2>(e)})) continue;
            const bool known = std::any_of(expected.begin(), expected.end(), [&](const Entry& x) {
                return std::get<1>(x) == std::get<1>(e) && std::get<2>(x) == std::get<2>(e);
            });
            if (known && !std::binary_search(expected.begin(), expected.end(), e)) {
                findings.add(false, label + ": wrong key for " + where(e));
            } else if (!known) {
                findings.add(false,
                             label + ": entry points at " + where(e) + ", which holds no row");
            }
        }
    }
}

}  // namespace

Result<CheckReport> inspectDatabase(const std::string& path) {
    Result<Database> opened = Database::open(path);
    if (!opened) return opened.status();
    const Database& db = opened.value();
    CheckReport report;
    Findings findings(report);
    std::map<uint32_t, std::set<uint32_t>> ownedByTable;  // tdef page -> owned data pages
    std::map<uint32_t, std::string> names;                // tdef page -> table name

    for (const CatalogEntry& entry : db.catalog()) {
        if (!entry.isTable()) continue;
        // Only the user tables' rows are read; Access leaves its own tables less tidy.
        const bool userData = entry.isUserTable();
        Result<Table> table = db.table(entry.name);
        const std::string label = "table " + entry.name;
        if (!table) {
            findings.add(userData, label, table.status());
            continue;
        }
        Result<std::vector<uint32_t>> owned = table->ownedPages();
        if (!owned) {
            findings.add(userData, label, owned.status());
            continue;
        }
        std::set<uint32_t>& ownedSet = ownedByTable[table->definitionPage()];
        names[table->definitionPage()] = entry.name;
        for (uint32_t p : owned.value()) {
            ownedSet.insert(p);
            Result<Page> page = db.page(p);
            if (!page) {
                findings.add(userData, label + ": owned page " + std::to_string(p), page.status());
            } else if (page->data()[0] != fmt::kPageData ||
                       getU32(page->data() + fmt::kDataOwnerOffset) != table->definitionPage()) {
                // The scan passes over it; rows lost with it show in the row count.
                findings.add(false, label + ": usage map lists page " + std::to_string(p) +
                                        ", which is not one of its data pages");
            }
        }
        Result<std::vector<uint32_t>> freePages = db.usageMapPages(table->freePagesPointer());
        if (!freePages) {
            findings.add(false, label + ": free-space map", freePages.status());
        } else {
            for (uint32_t p : freePages.value()) {
                if (!ownedSet.count(p)) {
                    findings.add(false, label + ": free-space map lists page " + std::to_string(p) +
                                            ", which the table does not own");
                }
            }
        }
        uint64_t rows = 0;
        Status scanned = table->forEachRow([&](const Row&) {
            ++rows;
            return true;
        });
        if (!scanned) {
            findings.add(userData, label, scanned);
        } else if (rows != table->storedRowCount()) {
            // Fewer rows than counted: rows of a user table are lost. Access leaves the counts
            // of its own tables behind the rows it adds.
            findings.add(userData && rows < table->storedRowCount(),
                         label + ": stored row count " + std::to_string(table->storedRowCount()) +
                             ", scan found " + std::to_string(rows));
        }
        checkIndexes(db, table.value(), findings);
    }
    // Data pages that claim a table should be in its usage map. Jet reads by the map, so rows
    // left out of it are not the table's; any it counts show in its row count.
    for (uint32_t p = 2; p < db.pageCount(); ++p) {
        Result<Page> page = db.page(p);
        if (!page) {
            findings.add(true, "page " + std::to_string(p), page.status());
            break;
        }
        if (page->data()[0] != fmt::kPageData) continue;
        const uint32_t owner = getU32(page->data() + fmt::kDataOwnerOffset);
        const auto it = ownedByTable.find(owner);
        if (it != ownedByTable.end() && !it->second.count(p) && hasLiveRows(page->data())) {
            findings.add(false, "page " + std::to_string(p) + " holds rows of table " +
                                    names[owner] + " but is missing from its usage map");
        }
    }
    // Pages in use should not be offered as free by the global map on page 1.
    Result<std::vector<uint32_t>> globalFree =
        db.usageMapPages(makeRowPointer(fmt::kGlobalMapPage, 0));
    if (!globalFree) {
        findings.add(false, "free-page map", globalFree.status());
    } else {
        for (const auto& [tdef, owned] : ownedByTable) {
            for (uint32_t p : globalFree.value()) {
                if (p == tdef || owned.count(p)) {
                    findings.add(false,
                                 "page " + std::to_string(p) + " is in use by the table at page " +
                                     std::to_string(tdef) + " but the free-page map marks it free");
                }
            }
        }
    }
    return report;
}

Result<std::vector<std::string>> checkDatabase(const std::string& path) {
    Result<CheckReport> report = inspectDatabase(path);
    if (!report) return report.status();
    return std::move(report->damage);
}

}  // namespace lumaro::jet
