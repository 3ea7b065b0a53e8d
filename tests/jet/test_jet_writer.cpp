// The writer on its own: the empty database against the one Jet makes, index keys, refused
// rows, all-or-nothing files, and in-place changes.
#include <gtest/gtest.h>

#ifdef __unix__
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "ExternalReaders.h"
#include "SnapshotTables.h"
#include "jet/IndexKey.h"
#include "jet/Reader.h"
#include "jet/Updater.h"
#include "jet/Writer.h"

namespace fs = std::filesystem;
using namespace lumaro::jet;
using namespace lumaro::jet::testing;

namespace {

constexpr std::size_t kPage = 4096;

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempDir {
public:
    TempDir() {
        m_path =
            fs::temp_directory_path() /
            ("jet_writer_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir() { fs::remove_all(m_path); }
    fs::path operator/(const std::string& name) const { return m_path / name; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_path))
            names.push_back(e.path().filename().string());
        return names;
    }

private:
    fs::path m_path;
};

// Bytes of the Jet-made empty database that Jet leaves uninitialised (stale memory in the
// fixed-offset word of variable columns, in unused index column slots and after the index
// flags) or that hold the time of creation of its catalog rows.
struct Span {
    uint32_t page;
    uint16_t offset;
    uint16_t length;
};
const std::vector<Span> kUninitialised = {
    // MSysObjects definition (page 2)
    {2, 0x0E9, 1},
    {2, 0x134, 2},
    {2, 0x14D, 2},
    {2, 0x167, 1},
    {2, 0x17F, 1},
    {2, 0x199, 1},
    {2, 0x1E3, 1},
    {2, 0x321, 1},
    {2, 0x327, 1},
    {2, 0x340, 1},
    {2, 0x374, 1},
    // MSysACEs definition
    {3, 0x0AB, 1},
    {3, 0x0FA, 1},
    {3, 0x106, 1},
    {3, 0x109, 1},
    {3, 0x117, 1},
    {3, 0x119, 1},
    // MSysQueries definition
    {4, 0x07A, 1},
    {4, 0x0C5, 1},
    {4, 0x0DE, 1},
    {4, 0x110, 1},
    {4, 0x19F, 1},
    {4, 0x1A5, 1},
    {4, 0x1AB, 1},
    {4, 0x1B9, 1},
    {4, 0x1BB, 1},
    // MSysRelationships definition
    {5, 0x213, 1},
    {5, 0x247, 1},
    {5, 0x27B, 1},
    // DateCreate and DateUpdate of the eight catalog rows (page 14)
    {14, 0xD6F, 16},
    {14, 0xDD0, 16},
    {14, 0xE25, 16},
    {14, 0xE74, 16},
    {14, 0xEC9, 16},
    {14, 0xF14, 16},
    {14, 0xF6D, 16},
    {14, 0xFBE, 16},
};

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace

TEST(JetWriter, EmptyDatabaseIsTheOneJetMakes) {
    const fs::path fixture = fs::path(LUMARO_SHARED_DIR) / "fixtures/jet/adox_jet4.mdb";
    if (!fs::exists(fixture)) GTEST_SKIP() << "no fixture " << fixture;
    Result<Database> jet = Database::open(fixture.string());
    ASSERT_TRUE(jet) << jet.status().message();

    TempDir dir;
    const fs::path ours = dir / "empty.mdb";
    // The same creation date gives the same header, password mask included.
    auto writer = Writer::create(ours, jet->creationDate());
    ASSERT_TRUE(writer) << writer.status().message();
    ASSERT_TRUE(writer.value()->commit());

    std::vector<uint8_t> expected = readFile(fixture);
    std::vector<uint8_t> actual = readFile(ours);
    ASSERT_EQ(actual.size(), expected.size());
    for (const Span& s : kUninitialised) {
        for (std::size_t k = 0; k < s.length; ++k) {
            const std::size_t at = s.page * kPage + s.offset + k;
            expected[at] = actual[at] = 0;
        }
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i])
            << "page " << i / kPage << ", offset 0x" << std::hex << i % kPage;
    }
}

TEST(JetWriter, IndexKeysFollowTheGeneralSortOrder) {
    struct Case {
        int32_t parent;
        const char* name;
        const char* key;
    };
    const std::vector<Case> cases = {
        {0x0F000001, "Clientes", "7f 8f 00 00 01 7f 4d 5e 59 51 62 6d 51 6b 01 00"},
        {0x0F000001, "clientes", "7f 8f 00 00 01 7f 4d 5e 59 51 62 6d 51 6b 01 00"},
        {0x0F000001, "Cumpleaños",
         "7f 8f 00 00 01 7f 4d 6f 60 66 5e 51 4a 62 64 6b 01 02 02 02 02 02 02 02 19 00"},
        {0x0F000000, "Tables", "7f 8f 00 00 00 7f 6d 4a 4c 5e 51 6b 01 00"},
        {2, "A1 ", "7f 80 00 00 02 7f 4a 38 01 00"},  // trailing blanks do not count
        {-1, "", "7f 7f ff ff ff 7f 01 00"},
        // Hyphens and apostrophes have no inline code, only a position after the text.
        {0x0F000001, "O'Higgins",
         "7f 8f 00 00 01 7f 64 57 59 55 55 59 62 6b 01 01 01 01 80 0b 06 80 00"},
        {0x0F000001, "peña-ñandú",
         "7f 8f 00 00 01 7f 66 51 62 4a 62 4a 62 4f 6f 01 02 02 19 02 19 02 02 02 0e 01 01 01 80 "
         "17 "
         "06 82 00"},
        {0x0F000001, "x-y-z'",
         "7f 8f 00 00 01 7f 75 76 78 01 01 01 01 80 0b 06 82 80 0f 06 82 80 13 06 80 00"},
        {0x0F000001, "Ña-n", "7f 8f 00 00 01 7f 62 4a 62 01 19 01 01 01 80 0f 06 82 00"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> key;
        indexkey::appendLong(key, c.parent);
        ASSERT_TRUE(indexkey::appendText(key, c.name)) << c.name;
        EXPECT_EQ(hex(key), c.key) << c.name;
    }
    std::vector<uint8_t> key;
    EXPECT_EQ(indexkey::appendText(key, "Ωmega").code(), Status::Code::NotSupported);
}

TEST(JetWriter, RefusesRowsThatDoNotFitTheirTable) {
    TempDir dir;
    auto writer = Writer::create(dir / "refuse.mdb");
    ASSERT_TRUE(writer);
    Writer& w = *writer.value();
    std::vector<Writer::TableHandle> handles;
    for (const TableDef& def : snapshotTables()) {
        auto h = w.createTable(def);
        ASSERT_TRUE(h) << def.name << ": " << h.status().message();
        handles.push_back(h.value());
    }
    const Writer::TableHandle tarjeta = handles[1], contactos = handles[7], detalle = handles[9];
    const Value none;
    const std::vector<Value> card = {
        int64_t{1}, std::string("12345678"), none, none, none, none, none, none, int64_t{3}, false};
    const std::vector<Value> detail = {std::string("M1"), int64_t{1}, int64_t{1},
                                       std::string("A1"), false,      int64_t{3}};
    struct Case {
        const char* what;
        Writer::TableHandle table;
        std::vector<Value> row;
        std::size_t column;
        Value value;
        const char* message;  // empty when the row is accepted
    };
    const std::vector<Case> cases = {
        {"card as given", tarjeta, card, 0, int64_t{1}, ""},
        {"card without IdLocal", tarjeta, card, 8, none,
         "column IdLocal: NULL in a required column"},
        {"card without number", tarjeta, card, 1, none,
         "column nTarjNumb: NULL in a required column"},
        {"nine-character card number", tarjeta, card, 1, std::string("123456789"),
         "column nTarjNumb: text of 9 characters is longer than the column's 8"},
        {"eight non-ASCII characters", tarjeta, card, 1, std::string("ññññññññ"), ""},
        {"text in a Long column", tarjeta, card, 0, std::string("1"),
         "column cClieCode: expects an integer"},
        {"Long out of range", tarjeta, card, 0, int64_t{1} << 40, "is out of range"},
        {"flag left out reads as No", tarjeta, card, 9, none, ""},
        {"contact without store",
         contactos,
         {int64_t{1}, std::string("Ana"), none, none, true},
         3,
         none,
         ""},
        {"detail line with NULL article", detalle, detail, 3, none,
         "column vc_cod_articulo: NULL in a required column"},
        {"detail line with NULL date-less key", detalle, detail, 0, none,
         "column vc_cod_mov: NULL in a required column"},
        {"too few values",
         contactos,
         {int64_t{1}},
         0,
         int64_t{1},
         "row has 1 values for 5 columns"},
    };
    std::map<Writer::TableHandle, uint32_t> accepted;
    for (const Case& c : cases) {
        std::vector<Value> row = c.row;
        if (c.column < row.size()) row[c.column] = c.value;
        const Status st = w.insert(c.table, row);
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(st) << c.what << ": " << st.message();
            ++accepted[c.table];
        } else {
            EXPECT_EQ(st.code(), Status::Code::InvalidArgument) << c.what;
            EXPECT_NE(st.message().find(c.message), std::string::npos)
                << c.what << ": " << st.message();
        }
    }
    ASSERT_TRUE(w.commit());
    EXPECT_TRUE(lumaroMdb({"check", (dir / "refuse.mdb").string()}).ok());
    Result<Database> db = Database::open((dir / "refuse.mdb").string());
    ASSERT_TRUE(db) << db.status().message();
    for (auto [handle, count] : accepted) {
        Result<Table> t = db->table(snapshotTables()[handle].name);
        ASSERT_TRUE(t);
        auto rows = t->readAll();
        ASSERT_TRUE(rows);
        EXPECT_EQ(rows->size(), count) << t->name();
        EXPECT_EQ(t->storedRowCount(), count) << t->name();
    }
}

TEST(JetWriter, RefusesBadTables) {
    TempDir dir;
    auto writer = Writer::create(dir / "bad.mdb");
    ASSERT_TRUE(writer);
    const ColumnDef id{"Id", ColumnType::Long, 4, true};
    const std::vector<std::pair<TableDef, Status::Code>> cases = {
        {{"", {id}}, Status::Code::InvalidArgument},
        {{"NoColumns", {}}, Status::Code::InvalidArgument},
        {{"Twice", {id, {"ID", ColumnType::Long, 4, false}}}, Status::Code::InvalidArgument},
        {{"WideText", {{"T", ColumnType::Text, 256, false}}}, Status::Code::InvalidArgument},
        {{"Money", {{"M", ColumnType::Currency, 8, false}}}, Status::Code::NotSupported},
        {{"Ωmega", {id}}, Status::Code::NotSupported},
        {{"First", {id}}, Status::Code::Ok},
        {{"FIRST", {id}}, Status::Code::InvalidArgument},
    };
    for (const auto& [def, code] : cases) {
        auto h = writer.value()->createTable(def);
        EXPECT_EQ(h.status().code(), code)
            << "table '" << def.name << "': " << h.status().message();
    }
}

TEST(JetWriter, AllOrNothing) {
    TempDir dir;
    const fs::path target = dir / "3_05122026.mdb";
    {  // abandoned after rows were written: nothing under the name, no temporary left
        auto writer = Writer::create(target);
        ASSERT_TRUE(writer);
        auto t = writer.value()->createTable(snapshotTables()[7]);
        ASSERT_TRUE(t);
        for (int i = 0; i < 5000; ++i) {
            ASSERT_TRUE(writer.value()->insert(
                t.value(), {int64_t{i}, std::string("Ana"), Value(), int64_t{1}, false}));
        }
        EXPECT_FALSE(fs::exists(target));
    }
    EXPECT_TRUE(dir.entries().empty());

    {  // a committed file stays as it was while a replacement is abandoned
        auto writer = Writer::create(target);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer.value()->commit());
    }
    const std::vector<uint8_t> before = readFile(target);
    {
        auto writer = Writer::create(target);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writer.value()->createTable(snapshotTables()[0]));
    }
    EXPECT_EQ(readFile(target), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"3_05122026.mdb"});

    // A folder that does not exist: refused at once.
    auto missing = Writer::create(dir / "no-such-folder" / "x.mdb");
    EXPECT_EQ(missing.status().code(), Status::Code::IoError);

    // Nothing more is accepted after a commit.
    auto writer = Writer::create(target);
    ASSERT_TRUE(writer);
    auto t = writer.value()->createTable(snapshotTables()[7]);
    ASSERT_TRUE(writer.value()->commit());
    EXPECT_FALSE(writer.value()->insert(t.value(), {int64_t{1}, Value(), Value(), Value(), false}));
    EXPECT_FALSE(writer.value()->commit());
}

#ifdef __unix__
// A disk that fills up while rows are written: the writer reports it and leaves nothing.
TEST(JetWriter, FailedWriteLeavesNothing) {
    TempDir dir;
    const fs::path target = dir / "full.mdb";
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1 << 20;  // files of this process may not grow past 1 MiB
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status failure;
    {
        auto writer = Writer::create(target);
        ASSERT_TRUE(writer);
        auto t = writer.value()->createTable(snapshotTables()[7]);
        ASSERT_TRUE(t);
        for (int i = 0; i < 200000 && failure.isOk(); ++i) {
            failure = writer.value()->insert(
                t.value(), {int64_t{i}, std::string("Ana Peña"), Value(), int64_t{1}, false});
        }
        if (failure.isOk()) failure = writer.value()->commit();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(failure.code(), Status::Code::IoError) << failure.message();
    EXPECT_NE(failure.message().find("cannot write"), std::string::npos) << failure.message();
    EXPECT_TRUE(dir.entries().empty());
}
#endif

TEST(JetWriter, ChangesYesNoInPlaceAndDeletesRows) {
    if (!haveMdbTools()) GTEST_SKIP() << missingReaders();
    TempDir dir;
    const fs::path file = dir / "marks.mdb";
    {
        auto writer = Writer::create(file);
        ASSERT_TRUE(writer);
        auto t = writer.value()->createTable(snapshotTables()[7]);
        ASSERT_TRUE(t);
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(writer.value()->insert(
                t.value(), {int64_t{i}, std::string("Peña"), Value(), int64_t{2}, false}));
        }
        ASSERT_TRUE(writer.value()->commit());
    }
    std::vector<RowId> ids;
    {
        Result<Database> db = Database::open(file.string());
        ASSERT_TRUE(db);
        Result<Table> t = db->table("contactos");
        ASSERT_TRUE(t);
        ASSERT_TRUE(t->forEachRow([&](const Row& r) {
            ids.push_back(r.id());
            return true;
        }));
    }
    ASSERT_EQ(ids.size(), 4u);
    const auto size = fs::file_size(file);
    {
        auto updater = Updater::open(file);
        ASSERT_TRUE(updater) << updater.status().message();
        Updater& u = *updater.value();
        ASSERT_TRUE(u.setBoolean("CONTACTOS", ids[0], "bflagsincro", true));
        ASSERT_TRUE(u.setBoolean("Contactos", ids[2], "bFlagSincro", true));
        ASSERT_TRUE(u.setBoolean("Contactos", ids[2], "bFlagSincro", true));  // idempotent
        ASSERT_TRUE(u.deleteRow("Contactos", ids[3]));
        EXPECT_EQ(u.setBoolean("Contactos", ids[1], "Email", true).code(),
                  Status::Code::InvalidArgument);
        EXPECT_EQ(u.setBoolean("Contactos", ids[3], "bFlagSincro", true).code(),
                  Status::Code::InvalidArgument);  // deleted
        EXPECT_EQ(u.setBoolean("Contactos", RowId{ids[0].page, 200}, "bFlagSincro", true).code(),
                  Status::Code::InvalidArgument);
        EXPECT_EQ(u.deleteRow("Contactos", RowId{1, 0}).code(), Status::Code::InvalidArgument);
        ASSERT_TRUE(u.close());
    }
    EXPECT_EQ(fs::file_size(file), size);
    const ToolOutput csv = mdbExport(file.string(), "Contactos");
    ASSERT_TRUE(csv.ok()) << csv.err;
    EXPECT_EQ(csvRecords(csv.out),
              (std::vector<std::string>{"IdContacto,DscContacto,Email,IdLocal,bFlagSincro",
                                        "0,\"Peña\",,2,1", "1,\"Peña\",,2,0", "2,\"Peña\",,2,1"}));
    const ToolOutput check = lumaroMdb({"check", file.string()});
    EXPECT_TRUE(check.ok()) << check.out << check.err;
}

// Rows that Access moved to another page are followed to their new home; deleting one removes
// both its pointer and the row.
TEST(JetWriter, DeletesARowAccessMoved) {
    const fs::path fixture = fs::path(LUMARO_SHARED_DIR) / "fixtures/jet/overflowTestV2000.mdb";
    if (!fs::exists(fixture)) GTEST_SKIP() << "no fixture " << fixture;
    TempDir dir;
    const fs::path file = dir / "moved.mdb";
    fs::copy_file(fixture, file);
    std::vector<RowId> moved;
    std::size_t before = 0;
    {
        Result<Database> db = Database::open(file.string());
        ASSERT_TRUE(db);
        Result<Table> t = db->table("Table1");
        ASSERT_TRUE(t);
        ASSERT_TRUE(t->forEachRow([&](const Row& r) {
            ++before;
            if (!(r.id() == r.storedAt())) moved.push_back(r.id());
            return true;
        }));
    }
    ASSERT_FALSE(moved.empty()) << "the fixture should hold moved rows";
    {
        auto updater = Updater::open(file);
        ASSERT_TRUE(updater);
        ASSERT_TRUE(updater.value()->deleteRow("Table1", moved[0]));
        EXPECT_EQ(updater.value()->deleteRow("Table1", moved[0]).code(),
                  Status::Code::InvalidArgument);  // already gone
        ASSERT_TRUE(updater.value()->close());
    }
    Result<Database> db = Database::open(file.string());
    ASSERT_TRUE(db);
    auto rows = db->table("Table1")->readAll();
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), before - 1);
    EXPECT_TRUE(lumaroMdb({"check", file.string()}).ok());
    if (haveMdbTools()) {
        EXPECT_EQ(csvRecords(mdbExport(file.string(), "Table1").out).size(), before);  // + header
    }
}
