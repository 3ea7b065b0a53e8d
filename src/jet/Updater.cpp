#include "jet/Updater.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "jet/Coding.h"
#include "jet/JetFormat.h"
#include "jet/PageFile.h"

namespace lumaro::jet {

namespace fmt = format;

namespace {
constexpr int kMaxMoves = 4;  // a moved row is followed this many times at most
}  // namespace

Result<std::unique_ptr<Updater>> Updater::open(const std::filesystem::path& path) {
    Result<Database> db = Database::open(path.string());
    if (!db) return db.status();
    std::unique_ptr<Updater> u(new Updater());
    u->m_path = path;
    u->m_db = std::make_unique<Database>(std::move(db.value()));
    u->m_file = std::fopen(path.string().c_str(), "r+b");
    if (u->m_file == nullptr) {
        return Status::ioError("cannot open " + path.string() +
                               " for writing: " + std::strerror(errno));
    }
    return u;
}

Updater::~Updater() { close(); }

Status Updater::flush() {
    if (!m_holding || m_file == nullptr) return Status::ok();
    const long offset = static_cast<long>(m_heldNumber) * static_cast<long>(fmt::kPageSize);
    if (std::fseek(m_file, offset, SEEK_SET) != 0 ||
        std::fwrite(m_held, fmt::kPageSize, 1, m_file) != 1 || std::fflush(m_file) != 0) {
        return Status::ioError("cannot write page " + std::to_string(m_heldNumber) + " of " +
                               m_path.string());
    }
    m_holding = false;
    return Status::ok();
}

Status Updater::close() {
    if (m_file == nullptr) return Status::ok();
    const Status flushed = flush();
    if (!flushed) {
        std::fclose(m_file);
        m_file = nullptr;
        return flushed;
    }
    const bool synced = syncFile(m_file);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!synced || !closed) return Status::ioError("cannot sync " + m_path.string());
    return Status::ok();
}

Status Updater::readPage(uint32_t number, uint8_t* bytes) {
    if (m_file == nullptr) return Status::invalidArgument("the database is closed");
    if (number >= m_db->pageCount()) {
        return Status::invalidArgument("page " + std::to_string(number) + " is beyond the file");
    }
    if (m_holding && number == m_heldNumber) {
        std::memcpy(bytes, m_held, fmt::kPageSize);
        return Status::ok();
    }
    const long offset = static_cast<long>(number) * static_cast<long>(fmt::kPageSize);
    if (std::fseek(m_file, offset, SEEK_SET) != 0 ||
        std::fread(bytes, fmt::kPageSize, 1, m_file) != 1) {
        return Status::ioError("cannot read page " + std::to_string(number) + " of " +
                               m_path.string());
    }
    return Status::ok();
}

Status Updater::writePage(uint32_t number, const uint8_t* bytes) {
    if (m_holding && number != m_heldNumber) {
        const Status st = flush();
        if (!st) return st;
    }
    std::memcpy(m_held, bytes, fmt::kPageSize);
    m_heldNumber = number;
    m_holding = true;
    return Status::ok();
}

Result<Table> Updater::table(std::string_view name) {
    if (!m_table || m_tableName != name) {
        Result<Table> t = m_db->table(name);
        if (!t) return t.status();
        m_table = std::make_unique<Table>(std::move(t.value()));
        m_tableName = std::string(name);
    }
    return *m_table;
}

Status Updater::locate(const Table& table, RowId row, Located& out) {
    RowId at = row;
    for (int hop = 0;; ++hop) {
        Status st = readPage(at.page, out.page);
        if (!st) return st;
        const std::string where =
            "page " + std::to_string(at.page) + ", row " + std::to_string(at.row);
        if (out.page[0] != fmt::kPageData ||
            getU32(out.page + fmt::kDataOwnerOffset) != table.definitionPage()) {
            return Status::invalidArgument(where + ": not a data page of table " + table.name());
        }
        const uint16_t rows = getU16(out.page + fmt::kDataRowCountOffset);
        if (at.row >= rows || fmt::kDataRowTableOffset + 2u * rows > fmt::kPageSize) {
            return Status::invalidArgument(where + ": the page has " + std::to_string(rows) +
                                           " rows");
        }
        const uint16_t slot = getU16(out.page + fmt::kDataRowTableOffset + 2 * at.row);
        out.start = slot & fmt::kRowOffsetMask;
        out.end = at.row == 0 ? fmt::kPageSize
                              : getU16(out.page + fmt::kDataRowTableOffset + 2 * (at.row - 1)) &
                                    fmt::kRowOffsetMask;
        out.slot = at;
        if (out.start < fmt::kDataRowTableOffset + 2u * rows || out.end <= out.start + 2) {
            return Status::corruption(where + ": row bounds " + std::to_string(out.start) + ".." +
                                      std::to_string(out.end) + " are impossible");
        }
        // The first slot must be live; a moved row's new home carries the deleted flag.
        const bool moved = (slot & fmt::kRowOverflowFlag) != 0;
        if (hop == 0 && (slot & fmt::kRowDeletedFlag)) {
            return Status::invalidArgument(where + ": the row is deleted");
        }
        if (!moved) return Status::ok();
        if (hop == kMaxMoves || out.end - out.start < 4) {
            return Status::corruption(where + ": moved row pointer is damaged or loops");
        }
        if (hop == 0) out.pointerSlot = at;
        at = RowId{getU24(out.page + out.start + 1), out.page[out.start]};
        out.moved = true;
    }
}

Status Updater::setBoolean(std::string_view tableName, RowId row, std::string_view columnName,
                           bool value) {
    Result<Table> table = this->table(tableName);
    if (!table) return table.status();
    const Column* column = table->column(columnName);
    if (column == nullptr || column->type != ColumnType::Boolean) {
        return Status::invalidArgument("table " + table->name() + " has no Yes/No column " +
                                       std::string(columnName));
    }
    Located at;
    Status st = locate(table.value(), row, at);
    if (!st) return st;
    const uint16_t storedColumns = getU16(at.page + at.start);
    if (column->number >= storedColumns) {
        return Status::notSupported("the row predates column " + column->name);
    }
    const std::size_t maskSize = (storedColumns + 7u) / 8u;
    if (static_cast<std::size_t>(at.end - at.start) < maskSize + 2) {
        return Status::corruption("page " + std::to_string(row.page) + ", row " +
                                  std::to_string(row.row) + ": shorter than its null mask");
    }
    uint8_t& maskByte = at.page[at.end - maskSize + column->number / 8];
    const auto bit = static_cast<uint8_t>(1u << (column->number % 8));
    maskByte = value ? (maskByte | bit) : (maskByte & static_cast<uint8_t>(~bit));
    return writePage(at.slot.page, at.page);
}

Status Updater::deleteRow(std::string_view tableName, RowId row) {
    Result<Table> table = this->table(tableName);
    if (!table) return table.status();
    Located at;
    Status st = locate(table.value(), row, at);
    if (!st) return st;
    // Jet marks a deleted row with both flags; readers skip such slots. A moved row loses its
    // pointer slot and its new home.
    std::vector<RowId> slots = {at.slot};
    if (at.moved) slots.push_back(at.pointerSlot);
    for (const RowId& id : slots) {
        uint8_t bytes[fmt::kPageSize];
        st = readPage(id.page, bytes);
        if (!st) return st;
        uint8_t* slot = bytes + fmt::kDataRowTableOffset + 2 * id.row;
        putU16(slot,
               static_cast<uint16_t>(getU16(slot) | fmt::kRowDeletedFlag | fmt::kRowOverflowFlag));
        st = writePage(id.page, bytes);
        if (!st) return st;
    }
    uint8_t tdef[fmt::kPageSize];
    st = readPage(table->definitionPage(), tdef);
    if (!st) return st;
    const uint32_t count = getU32(tdef + fmt::kTdefRowCountOffset);
    if (count > 0) putU32(tdef + fmt::kTdefRowCountOffset, count - 1);
    return writePage(table->definitionPage(), tdef);
}

}  // namespace lumaro::jet
