#include "jet/PageFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#include "jet/JetFormat.h"

namespace lumaro::jet {

namespace {
constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr std::size_t kChunksInFlight = 3;
constexpr std::size_t kChunksPerSync = 16;

// A name beside the final one that no other writer, in this process or another, is using.
std::filesystem::path temporaryFor(const std::filesystem::path& finalPath) {
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    std::filesystem::path temp = finalPath;
    temp += ".writing-" + std::to_string(salt) + "-" + std::to_string(counter++);
    return temp;
}

// Refuses a final name that exists and is not a regular file (a link is judged by what it
// leads to), which the rename would replace.
Status replaceable(const std::filesystem::path& finalPath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::status(finalPath, ec).type();
    if (type == fs::file_type::none || type == fs::file_type::not_found ||
        type == fs::file_type::regular) {
        return Status::ok();  // none: the folder cannot be looked into; the create will say why
    }
    const char* kind = type == fs::file_type::directory ? "a folder"
                       : type == fs::file_type::block || type == fs::file_type::character
                           ? "a device"
                       : type == fs::file_type::fifo   ? "a pipe"
                       : type == fs::file_type::socket ? "a socket"
                                                       : "of an unknown kind";
    return Status::invalidArgument(finalPath.string() + " exists and is " + kind +
                                   ", not a regular file; it is left as it is: write the "
                                   "database under another name");
}
}  // namespace

Result<std::unique_ptr<PageFile>> PageFile::create(const std::filesystem::path& finalPath) {
    if (Status s = replaceable(finalPath); !s) return s;
    std::unique_ptr<PageFile> f(new PageFile());
    f->m_finalPath = finalPath;
    f->m_tempPath = temporaryFor(finalPath);
    f->m_file = std::fopen(f->m_tempPath.string().c_str(), "w+b");
    if (f->m_file == nullptr) {
        return Status::ioError("cannot create " + f->m_tempPath.string() + ": " +
                               std::strerror(errno));
    }
    std::setvbuf(f->m_file, nullptr, _IONBF, 0);  // whole chunks are written at once
    f->m_current.reserve(kChunkSize);
    f->m_writer = std::thread([p = f.get()] { p->writerLoop(); });
    return f;
}

PageFile::~PageFile() {
    stopWriter();
    if (m_file != nullptr) std::fclose(m_file);
    if (!m_committed) {
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
    }
}

void PageFile::fail(const std::string& what) {
    if (m_status.isOk()) {
        m_status = Status::ioError(what + " " + m_tempPath.string() + ": " + std::strerror(errno));
        m_failed = true;
    }
}

void PageFile::writerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) return;
        Chunk chunk = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        const bool failed = !m_status.isOk();
        lock.unlock();
        bool written = failed || std::fwrite(chunk.data(), 1, chunk.size(), m_file) == chunk.size();
        // Pushing the data to disk as it goes leaves little for the sync at commit.
        if (!failed && written && ++m_chunksWritten % kChunksPerSync == 0)
            written = syncFile(m_file);
        lock.lock();
        if (!written) fail("cannot write");
        chunk.clear();
        m_spare.push_back(std::move(chunk));
        m_busy = false;
        m_changed.notify_all();
    }
}

void PageFile::submitChunk() {
    if (m_current.empty()) return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < kChunksInFlight; });
    m_queue.push_back(std::move(m_current));
    if (!m_spare.empty()) {
        m_current = std::move(m_spare.back());
        m_spare.pop_back();
    } else {
        m_current = Chunk();
        m_current.reserve(kChunkSize);
    }
    m_changed.notify_all();
}

void PageFile::drain() {
    submitChunk();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void PageFile::stopWriter() {
    if (!m_writer.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_writer.join();
}

Status PageFile::status() {
    std::lock_guard lock(m_mutex);
    return m_status;
}

uint32_t PageFile::append(const uint8_t* page) {
    m_current.insert(m_current.end(), page, page + format::kPageSize);
    if (m_current.size() >= kChunkSize) submitChunk();
    return m_pages++;
}

void PageFile::writeAt(uint32_t number, const uint8_t* page) {
    drain();
    std::lock_guard lock(m_mutex);
    if (!m_status.isOk()) return;
    const long long offset = static_cast<long long>(number) * format::kPageSize;
    if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(page, format::kPageSize, 1, m_file) != 1 ||
        std::fseek(m_file, 0, SEEK_END) != 0) {
        fail("cannot rewrite page " + std::to_string(number) + " of");
    }
}

Status PageFile::commit() {
    drain();
    stopWriter();
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
    if (Status s = replaceable(m_finalPath); !s) {
        m_status = s;
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
