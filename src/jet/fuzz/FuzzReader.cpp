// libFuzzer target for the Jet reader: any bytes, opened as a database, every table read. The
// reader must refuse damage with a Status, never crash, hang or exhaust memory.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/JetFormat.h"
#include "jet/Reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace lumaro::jet;
    // Whole pages only, so that the fuzzer spends its time on structure, not on the size check.
    const std::size_t pages = (size + format::kPageSize - 1) / format::kPageSize;
    std::vector<uint8_t> bytes(std::max<std::size_t>(pages, 2) * format::kPageSize, 0);
    std::copy(data, data + size, bytes.begin());
    Result<Database> db = Database::openBytes(std::move(bytes));
    if (!db) return 0;
    for (const CatalogEntry& entry : db->catalog()) {
        if (!entry.isTable()) continue;
        Result<Table> table = db->table(entry.name);
        if (!table) continue;
        (void)db->usageMapPages(table->freePagesPointer());
        std::size_t fields = 0;
        (void)table->forEachRow([&](const Row& row) {
            fields += row.size();
            return true;
        });
    }
    return 0;
}
