#pragma once
// A database file being written: pages appended in order through a large buffer, a few pages
// rewritten in place at the end, and the all-or-nothing finish (FORMAT-writing.md "Writing a
// file"). The pages go to a temporary file beside the final one; commit() flushes and syncs it
// and renames it to the final name. Destroying a PageFile that was not committed removes the
// temporary file, so a failed or abandoned write leaves nothing under the final name.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

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
    const Status& status() const { return m_status; }

    // Flushes, syncs, closes and renames the file to its final name.
    Status commit();

    const std::filesystem::path& temporaryPath() const { return m_tempPath; }

private:
    PageFile() = default;
    void fail(const std::string& what);

    std::filesystem::path m_finalPath;
    std::filesystem::path m_tempPath;
    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    uint32_t m_pages = 0;
    Status m_status;
    bool m_committed = false;
};

// Forces a file's written bytes to stable storage. Platform-specific; false on failure.
bool syncFile(std::FILE* file);

}  // namespace lumaro::jet
