#include "jet/PageSource.h"

#include <algorithm>
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

uint8_t* PageSource::claim(uint32_t number) const {
    Slot& slot = m_cache[number % kCacheSlots];
    // Reuse the slot's buffer unless a caller still holds the page that was in it.
    if (!slot.bytes || slot.bytes.use_count() > 1) {
        slot.bytes = std::shared_ptr<uint8_t[]>(new uint8_t[kPageSize]);
    }
    slot.number = UINT32_MAX;  // until filled
    return slot.bytes.get();
}

Status PageSource::readFromFile(uint32_t number) const {
    // A miss right after the previous page is a scan: read the pages after it in the same call,
    // into slots that nobody holds.
    const bool sequential = number == m_lastRead + 1;
    const uint32_t count = sequential ? std::min<uint32_t>(kReadAhead, m_pageCount - number) : 1;
    m_block.resize(static_cast<std::size_t>(count) * kPageSize);
    m_file.clear();
    m_file.seekg(static_cast<std::streamoff>(static_cast<uint64_t>(number) * kPageSize));
    m_file.read(reinterpret_cast<char*>(m_block.data()),
                static_cast<std::streamsize>(m_block.size()));
    if (m_file.gcount() != static_cast<std::streamsize>(m_block.size())) {
        return Status::ioError(where(number) + "read failed");
    }
    for (uint32_t k = 0; k < count; ++k) {
        Slot& slot = m_cache[(number + k) % kCacheSlots];
        if (k > 0 && (slot.number == number + k || (slot.bytes && slot.bytes.use_count() > 1))) {
            continue;
        }
        std::memcpy(claim(number + k), m_block.data() + static_cast<std::size_t>(k) * kPageSize,
                    kPageSize);
        slot.number = number + k;
    }
    m_lastRead = number + count - 1;
    return Status::ok();
}

Result<Page> PageSource::page(uint32_t number) const {
    if (number >= m_pageCount) {
        return Status::corruption(where(number) + "beyond the end of the file (" +
                                  std::to_string(m_pageCount) + " pages)");
    }
    Slot& slot = m_cache[number % kCacheSlots];
    if (slot.number == number) return Page{number, slot.bytes};
    if (!m_memory.empty()) {
        std::memcpy(claim(number), m_memory.data() + static_cast<uint64_t>(number) * kPageSize,
                    kPageSize);
        slot.number = number;
    } else if (Status s = readFromFile(number); !s) {
        return s;
    }
    return Page{number, slot.bytes};
}

}  // namespace lumaro::jet
