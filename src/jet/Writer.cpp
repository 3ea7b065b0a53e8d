#include "jet/Writer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <set>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/PageBuilders.h"
#include "jet/PageFile.h"
#include "jet/SystemCatalog.h"
#include "jet/TableLayout.h"
#include "jet/Text.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {

constexpr std::size_t kMaxColumns = 255;
constexpr int kMaxTextChars = 255;

struct UserTable {
    CatalogTable catalog;
    TableLayout layout;
    RowEncoder encoder;
    uint32_t mapPage = 0;
    DataPageBuilder page;
    std::vector<uint32_t> dataPages;
    uint32_t rows = 0;

    UserTable(CatalogTable c, TableLayout l)
        : catalog(std::move(c)),
          layout(std::move(l)),
          encoder(layout.columns),
          page(catalog.tdefPage) {}
};

}  // namespace

DateTime currentDateTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return DateTime::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
}

bool Writer::supportsType(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::Text:
            return true;
        default:
            return false;
    }
}

struct Writer::State {
    std::unique_ptr<PageFile> file;
    DateTime created;
    std::vector<std::unique_ptr<UserTable>> tables;
    bool finished = false;

    void flushPage(UserTable& t) {
        if (t.page.empty()) return;
        t.dataPages.push_back(file->append(t.page.bytes().data()));
        t.page.reset(t.catalog.tdefPage);
    }
};

Writer::Writer(std::unique_ptr<State> state) : m_state(std::move(state)) {}
Writer::~Writer() = default;

Result<std::unique_ptr<Writer>> Writer::create(const std::filesystem::path& path) {
    return create(path, currentDateTime());
}

Result<std::unique_ptr<Writer>> Writer::create(const std::filesystem::path& path,
                                               DateTime created) {
    Result<std::unique_ptr<PageFile>> file = PageFile::create(path);
    if (!file) return file.status();
    auto state = std::make_unique<State>();
    state->file = std::move(file.value());
    state->created = created;
    // The system pages are filled in at commit; reserve their room now.
    const PageBytes blank{};
    for (uint32_t p = 0; p < kSystemPageCount; ++p) state->file->append(blank.data());
    return std::unique_ptr<Writer>(new Writer(std::move(state)));
}

Result<Writer::TableHandle> Writer::createTable(const TableDef& def) {
    State& s = *m_state;
    if (s.finished) return Status::invalidArgument("the database is already committed");
    if (def.name.empty()) return Status::invalidArgument("a table needs a name");
    if (def.columns.empty() || def.columns.size() > kMaxColumns) {
        return Status::invalidArgument("table " + def.name + " needs 1 to 255 columns");
    }
    std::vector<CatalogTable> catalogSoFar;
    for (const auto& t : s.tables) catalogSoFar.push_back({t->catalog.name, 0, {}, {}});
    catalogSoFar.push_back({def.name, 0, {}, {}});
    if (Status fits = checkCatalogFits(catalogSoFar); !fits) {
        return Status::notSupported("table " + def.name + ": " + fits.message());
    }
    for (const auto& t : s.tables) {
        if (equalsIgnoreCase(t->catalog.name, def.name)) {
            return Status::invalidArgument("table " + def.name + " already exists");
        }
    }
    TableLayout layout;
    layout.tableType = fmt::kTableTypeUser;
    std::vector<std::string> required;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        if (!supportsType(c.type)) {
            return Status::notSupported("table " + def.name + ", column " + c.name +
                                        ": the writer does not support this column type");
        }
        if (c.name.empty())
            return Status::invalidArgument("table " + def.name + ": empty column name");
        for (std::size_t k = 0; k < i; ++k) {
            if (equalsIgnoreCase(def.columns[k].name, c.name)) {
                return Status::invalidArgument("table " + def.name + ": duplicate column " +
                                               c.name);
            }
        }
        if (c.type == ColumnType::Text && (c.size < 1 || c.size > kMaxTextChars)) {
            return Status::invalidArgument("table " + def.name + ", column " + c.name +
                                           ": text size must be 1 to 255");
        }
        ColumnLayout col;
        col.name = c.name;
        col.type = c.type;
        col.number = static_cast<uint16_t>(i);
        col.length = storedLength(c.type, c.size);
        col.flags = defaultColumnFlags(c.type);
        col.extFlags = c.type == ColumnType::Text ? fmt::kColExtCompressedUnicode : 0;
        col.required = c.required && c.type != ColumnType::Boolean;
        layout.columns.push_back(col);
        if (c.required) required.push_back(c.name);
    }
    assignPositions(layout.columns);
    // Check now that the definition fits its page, so that commit cannot fail on it.
    if (Result<std::vector<uint8_t>> probe = encodeTableDefinition(layout); !probe) {
        return Status(probe.status());
    }
    const PageBytes blank{};
    CatalogTable catalog;
    catalog.name = def.name;
    catalog.tdefPage = s.file->append(blank.data());
    catalog.created = currentDateTime();
    catalog.properties = required.empty() ? Bytes{} : requiredProperties(required);
    auto table = std::make_unique<UserTable>(std::move(catalog), std::move(layout));
    table->mapPage = s.file->append(blank.data());
    s.tables.push_back(std::move(table));
    if (s.file->failed()) return s.file->status();
    return s.tables.size() - 1;
}

Status Writer::insert(TableHandle handle, const std::vector<Value>& row) {
    State& s = *m_state;
    if (s.finished) return Status::invalidArgument("the database is already committed");
    if (handle >= s.tables.size()) return Status::invalidArgument("no such table");
    UserTable& t = *s.tables[handle];
    Status st = t.encoder.encode(row);
    if (!st) {
        const std::string message = "table " + t.catalog.name + ", " + st.message();
        return st.code() == Status::Code::NotSupported ? Status::notSupported(message)
                                                       : Status::invalidArgument(message);
    }
    if (!t.page.fits(t.encoder.size())) s.flushPage(t);
    t.page.add(t.encoder.data(), t.encoder.size());
    ++t.rows;
    if (s.file->failed()) return s.file->status();
    return Status::ok();
}

uint32_t Writer::rowCount(TableHandle table) const {
    return table < m_state->tables.size() ? m_state->tables[table]->rows : 0;
}

Status Writer::commit() {
    State& s = *m_state;
    if (s.finished) return Status::invalidArgument("the database is already committed");
    s.finished = true;
    PageFile& file = *s.file;
    const PageAppender append = [&](const PageBytes& p) { return file.append(p.data()); };
    const PagePlacer place = [&](uint32_t n, const PageBytes& p) { file.writeAt(n, p.data()); };

    std::vector<CatalogTable> catalog;
    for (auto& tp : s.tables) {
        UserTable& t = *tp;
        // The open page, if any, is the one with free space left.
        std::vector<uint32_t> freePages;
        if (!t.page.empty()) {
            s.flushPage(t);
            freePages.push_back(t.dataPages.back());
        }
        DataPageBuilder maps(0);
        const std::vector<uint8_t> owned = usageMapRow(t.dataPages, append);
        const std::vector<uint8_t> free = usageMapRow(freePages, append);
        t.layout.ownedPages = makeRowPointer(t.mapPage, maps.add(owned.data(), owned.size()));
        t.layout.freePages = makeRowPointer(t.mapPage, maps.add(free.data(), free.size()));
        place(t.mapPage, maps.bytes());
        t.layout.rowCount = t.rows;
        Result<std::vector<uint8_t>> tdef = encodeTableDefinition(t.layout);
        if (!tdef) return tdef.status();
        PageBytes page{};
        std::memcpy(page.data(), tdef.value().data(), page.size());
        place(t.catalog.tdefPage, page);
        catalog.push_back(t.catalog);
    }
    Status st = buildSystemPages(s.created, catalog, place, append);
    if (!st) return st;
    buildGlobalMap(file.pageCount(), place, append);
    return file.commit();
}

}  // namespace lumaro::jet
