// A scan of a file many times larger than the page cache, with other pages fetched in between:
// every row comes back once, with its own values.

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/Reader.h"
#include "jet/Writer.h"

using namespace lumaro::jet;

namespace {

TEST(JetLargeScan, EveryRowOnceThroughTheCache) {
    const std::string path = std::string(LUMARO_BINARY_DIR) + "/jet-large-scan.mdb";
    constexpr int64_t kRows = 120000;  // about 1,500 pages: six times the cache
    {
        auto w = Writer::create(path);
        ASSERT_TRUE(w) << w.status().message();
        auto t = w.value()->createTable(TableDef{"Big",
                                                 {{"Id", ColumnType::Long, 4, true},
                                                  {"Name", ColumnType::Text, 20, false},
                                                  {"Flag", ColumnType::Boolean, 1, true}}});
        ASSERT_TRUE(t) << t.status().message();
        for (int64_t i = 0; i < kRows; ++i) {
            const Status s = w.value()->insert(
                t.value(),
                {i, i % 7 ? Value(std::string("n") + std::to_string(i)) : Value(), i % 3 == 0});
            ASSERT_TRUE(s) << s.message();
        }
        ASSERT_TRUE(w.value()->commit());
    }
    Result<Database> db = Database::open(path);
    ASSERT_TRUE(db) << db.status().message();
    Result<Table> t = db->table("big");
    ASSERT_TRUE(t) << t.status().message();
    std::vector<bool> seen(kRows, false);
    int64_t count = 0;
    const Status s = t->forEachRow([&](const Row& r) {
        const int64_t id = std::get<int64_t>(r[0]);
        EXPECT_TRUE(id >= 0 && id < kRows && !seen[static_cast<std::size_t>(id)]) << id;
        if (id < 0 || id >= kRows) return false;
        seen[static_cast<std::size_t>(id)] = true;
        if (id % 7) {
            EXPECT_EQ(std::get<std::string>(r[1]), "n" + std::to_string(id));
        } else {
            EXPECT_TRUE(isNull(r[1]));
        }
        EXPECT_EQ(std::get<bool>(r[2]), id % 3 == 0);
        // Other pages in between: the cache must not hand out the page being scanned.
        if (++count % 500 == 0) {
            EXPECT_TRUE(db->page(static_cast<uint32_t>(count / 500 % 40)));
        }
        return true;
    });
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(count, kRows);
    EXPECT_EQ(t->storedRowCount(), static_cast<uint32_t>(kRows));
    std::filesystem::remove(path);
}

}  // namespace
