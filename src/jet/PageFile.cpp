#include "jet/PageFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "jet/JetFormat.h"

namespace lumaro::jet {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;

std::filesystem::path temporaryFor(const std::filesystem::path& finalPath) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = finalPath;
    temp += ".writing-" + std::to_string(counter++);
    return temp;
}
}  // namespace

Result<std::unique_ptr<PageFile>> PageFile::create(const std::filesystem::path& finalPath) {
    std::unique_ptr<PageFile> f(new PageFile());
    f->m_finalPath = finalPath;
    f->m_tempPath = temporaryFor(finalPath);
    f->m_file = std::fopen(f->m_tempPath.string().c_str(), "w+b");
    if (f->m_file == nullptr) {
        return Status::ioError("cannot create " + f->m_tempPath.string() + ": " +
                               std::strerror(errno));
    }
    f->m_buffer.reset(new char[kBufferSize]);
    std::setvbuf(f->m_file, f->m_buffer.get(), _IOFBF, kBufferSize);
    return f;
}

PageFile::~PageFile() {
    if (m_file != nullptr) std::fclose(m_file);
    if (!m_committed) {
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
    }
}

void PageFile::fail(const std::string& what) {
    if (m_status.isOk()) {
        m_status = Status::ioError(what + " " + m_tempPath.string() + ": " + std::strerror(errno));
    }
}

uint32_t PageFile::append(const uint8_t* page) {
    const uint32_t number = m_pages++;
    if (m_status.isOk() && std::fwrite(page, format::kPageSize, 1, m_file) != 1) {
        fail("cannot write page " + std::to_string(number) + " of");
    }
    return number;
}

void PageFile::writeAt(uint32_t number, const uint8_t* page) {
    if (!m_status.isOk()) return;
    const long long offset = static_cast<long long>(number) * format::kPageSize;
    if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(page, format::kPageSize, 1, m_file) != 1 ||
        std::fseek(m_file, 0, SEEK_END) != 0) {
        fail("cannot rewrite page " + std::to_string(number) + " of");
    }
}

Status PageFile::commit() {
    if (!m_status.isOk()) return m_status;
    if (!syncFile(m_file)) {
        fail("cannot sync");
        return m_status;
    }
    const int closed = std::fclose(m_file);
    m_file = nullptr;
    if (closed != 0) {
        fail("cannot close");
        return m_status;
    }
    std::error_code ec;
    std::filesystem::rename(m_tempPath, m_finalPath, ec);
    if (ec) {
        m_status = Status::ioError("cannot rename " + m_tempPath.string() + " to " +
                                   m_finalPath.string() + ": " + ec.message());
        return m_status;
    }
    m_committed = true;
    return Status::ok();
}

}  // namespace lumaro::jet
