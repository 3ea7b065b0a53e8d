#include "jet/PageSource.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "jet/JetFormat.h"

namespace lumaro::jet {

using format::kPageSize;

std::string where(uint32_t page) { return "page " + std::to_string(page) + ": "; }
std::string where(uint32_t page, uint16_t row) {
    return "page " + std::to_string(page) + ", row " + std::to_string(row) + ": ";
}

namespace {

Status checkSize(uint64_t size) {
    if (size < 2 * kPageSize) {
        return Status::corruption("file of " + std::to_string(size) +
                                  " bytes is too short for a Jet database (at least 2 pages)");
    }
    if (size % kPageSize != 0) {
        return Status::corruption("file size " + std::to_string(size) +
                                  " is not a whole number of 4096-byte pages (truncated?)");
    }
    if (size / kPageSize > format::kMaxPages) {
        return Status::corruption("file of " + std::to_string(size) +
                                  " bytes has more pages than Jet can address");
    }
    return Status::ok();
}

}  // namespace

Result<std::shared_ptr<PageSource>> PageSource::openFile(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return Status::ioError("cannot open: " + ec.message());
    if (Status s = checkSize(size); !s) return s;
    auto source = std::shared_ptr<PageSource>(new PageSource());
    source->m_path = path;
    source->m_pageCount = static_cast<uint32_t>(size / kPageSize);
    source->m_file.open(path, std::ios::binary);
    if (!source->m_file) return Status::ioError("cannot open for reading");
    return source;
}

Result<std::shared_ptr<PageSource>> PageSource::openBytes(std::vector<uint8_t> bytes) {
    if (Status s = checkSize(bytes.size()); !s) return s;
    auto source = std::shared_ptr<PageSource>(new PageSource());
    source->m_path = "(memory)";
    source->m_pageCount = static_cast<uint32_t>(bytes.size() / kPageSize);
    source->m_memory = std::move(bytes);
    return source;
}

Result<Page> PageSource::page(uint32_t number) const {
    if (number >= m_pageCount) {
        return Status::corruption(where(number) + "beyond the end of the file (" +
                                  std::to_string(m_pageCount) + " pages)");
    }
    Slot& slot = m_cache[number % kCacheSlots];
    if (slot.number == number) return Page{number, slot.bytes};
    // Reuse the slot's buffer unless a caller still holds the page that was in it.
    if (!slot.bytes || slot.bytes.use_count() > 1) {
        slot.bytes = std::shared_ptr<uint8_t[]>(new uint8_t[kPageSize]);
    }
    slot.number = UINT32_MAX;
    const uint64_t at = static_cast<uint64_t>(number) * kPageSize;
    if (!m_memory.empty()) {
        std::memcpy(slot.bytes.get(), m_memory.data() + at, kPageSize);
    } else {
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(at));
        m_file.read(reinterpret_cast<char*>(slot.bytes.get()), kPageSize);
        if (m_file.gcount() != static_cast<std::streamsize>(kPageSize)) {
            return Status::ioError(where(number) + "read failed");
        }
    }
    slot.number = number;
    return Page{number, slot.bytes};
}

}  // namespace lumaro::jet
