#pragma once
// A database file being written: pages appended in order, a few pages rewritten in place at the
// end, and the all-or-nothing finish (FORMAT-writing.md "Writing a file"). The pages go to a
// temporary file beside the final one; commit() flushes and syncs it and renames it to the
// final name. Destroying a PageFile that was not committed removes the temporary file, so a
// failed or abandoned write leaves nothing under the final name. Only a regular file is ever
// replaced: a final name that is (or links to) a folder, a device or the like is refused,
// untouched.
//
// Appended pages are gathered in 1 MiB chunks that a background thread writes, so that the
// caller's encoding and the system's copying of the data overlap; at most a few chunks are in
// flight, which bounds the memory used.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "jet/JetTypes.h"

namespace lumaro::jet {

class PageFile {
public:
    static Result<std::unique_ptr<PageFile>> create(const std::filesystem::path& finalPath);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // Appends one page at the end of the file and returns its number.
    uint32_t append(const uint8_t* page);
    // Rewrites an already appended page.
    void writeAt(uint32_t number, const uint8_t* page);
    uint32_t pageCount() const { return m_pages; }
    // The first write error met, if any; later writes are skipped after one.
    Status status();
    // Cheap test for an error, for every row.
    bool failed() const { return m_failed.load(std::memory_order_relaxed); }

    // Flushes, syncs, closes and renames the file to its final name.
    Status commit();

private:
    using Chunk = std::vector<uint8_t>;
    PageFile() = default;
    void writerLoop();
    void submitChunk();  // hands the current chunk to the writer thread
    void drain();        // waits until every submitted chunk is written
    void stopWriter();
    void fail(const std::string& what);  // requires m_mutex

    std::filesystem::path m_finalPath;
    std::filesystem::path m_tempPath;
    std::FILE* m_file = nullptr;
    uint32_t m_pages = 0;
    bool m_committed = false;

    Chunk m_current;  // pages not yet handed over (owned by the caller's thread)
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_queue;        // chunks waiting for the writer
    std::vector<Chunk> m_spare;       // written chunks for reuse
    bool m_busy = false;              // the writer holds a chunk
    std::size_t m_chunksWritten = 0;  // by the writer thread
    bool m_stop = false;
    Status m_status;
    std::atomic<bool> m_failed{false};
    std::thread m_writer;
};

// Forces a file's written bytes to stable storage. Platform-specific; false on failure.
bool syncFile(std::FILE* file);

}  // namespace lumaro::jet
