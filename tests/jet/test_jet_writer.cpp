// The writer: empty database as Jet makes it, index keys, refused rows, all-or-nothing, updates.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#ifdef __unix__
#include <sys/resource.h>
#endif

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

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

// A scratch folder of the running test, removed afterwards.
struct TempDir : QTemporaryDir {
    const fs::path root = path().toStdString();
    fs::path operator/(const std::string& name) const { return root / name; }
};

// Writes `rows` rows into a new Contactos table, and commits if asked; the first failure stops it.
Status writeContacts(Writer& w, int rows, bool commit = false) {
    auto t = w.createTable(snapshotTables()[7]);
    if (!t) return t.status();
    for (int i = 0; i < rows; ++i) {
        Status s =
            w.insert(t.value(), {int64_t{i}, std::string("Peña"), Value(), int64_t{2}, false});
        if (!s) return s;
    }
    return commit ? w.commit() : Status::ok();
}

// Bytes Jet leaves uninitialised in its empty database, or that hold creation times (page 14):
// page, length, offsets.
const std::vector<std::tuple<uint32_t, uint16_t, std::vector<uint16_t>>> kUninitialised = {
    {2, 1, {0x0E9, 0x167, 0x17F, 0x199, 0x1E3, 0x321, 0x327, 0x340, 0x374}},  // MSysObjects
    {2, 2, {0x134, 0x14D}},
    {3, 1, {0x0AB, 0x0FA, 0x106, 0x109, 0x117, 0x119}},                       // MSysACEs
    {4, 1, {0x07A, 0x0C5, 0x0DE, 0x110, 0x19F, 0x1A5, 0x1AB, 0x1B9, 0x1BB}},  // MSysQueries
    {5, 1, {0x213, 0x247, 0x27B}},                                            // MSysRelationships
    {14, 16, {0xD6F, 0xDD0, 0xE25, 0xE74, 0xEC9, 0xF14, 0xF6D, 0xFBE}},
};

}  // namespace

TEST(JetWriter, EmptyDatabaseIsTheOneJetMakes) {
    const fs::path fixture = fs::path(kFixtures) / "adox_jet4.mdb";
    if (!fs::exists(fixture)) GTEST_SKIP() << "no fixture " << fixture;
    Result<Database> jet = Database::open(fixture.string());
    ASSERT_TRUE(jet) << jet.status().message();
    TempDir dir;
    // The same creation date gives the same header, password mask included.
    auto writer = Writer::create(dir / "empty.mdb", jet->creationDate());
    ASSERT_TRUE(writer) << writer.status().message();
    ASSERT_TRUE(writer.value()->commit());

    std::vector<uint8_t> expected = fileBytes(fixture.string()),
                         actual = fileBytes((dir / "empty.mdb").string());
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [page, length, offsets] : kUninitialised) {
        for (uint16_t offset : offsets) {
            std::fill_n(&expected[page * kPage + offset], length, 0);
            std::fill_n(&actual[page * kPage + offset], length, 0);
        }
    }
    const std::size_t i =
        std::mismatch(actual.begin(), actual.end(), expected.begin()).first - actual.begin();
    EXPECT_EQ(i, actual.size()) << "page " << i / kPage << ", offset 0x" << std::hex << i % kPage;
}

TEST(JetWriter, IndexKeysFollowTheGeneralSortOrder) {
    const std::string table = "7f 8f 00 00 01 7f ";  // the parent Id of user tables
    const std::vector<std::tuple<int32_t, const char*, std::string>> cases = {
        {0x0F000001, "Clientes", table + "4d 5e 59 51 62 6d 51 6b 01 00"},
        {0x0F000001, "clientes", table + "4d 5e 59 51 62 6d 51 6b 01 00"},
        {0x0F000001, "Cumpleaños",
         table + "4d 6f 60 66 5e 51 4a 62 64 6b 01 02 02 02 02 02 02 02 19 00"},
        {2, "A1 ", "7f 80 00 00 02 7f 4a 38 01 00"},  // trailing blanks do not count
        {-1, "", "7f 7f ff ff ff 7f 01 00"},
        // Hyphens and apostrophes have no inline code, only a position after the text.
        {0x0F000001, "O'Higgins", table + "64 57 59 55 55 59 62 6b 01 01 01 01 80 0b 06 80 00"},
        {0x0F000001, "peña-ñandú",
         table +
             "66 51 62 4a 62 4a 62 4f 6f 01 02 02 19 02 19 02 02 02 0e 01 01 01 80 17 06 82 00"},
    };
    for (const auto& [parent, name, expected] : cases) {
        std::vector<uint8_t> key;
        indexkey::appendLong(key, parent);
        ASSERT_TRUE(indexkey::appendText(key, name)) << name;
        std::vector<uint8_t> want;
        std::istringstream in(expected);
        for (unsigned b; in >> std::hex >> b;) want.push_back(static_cast<uint8_t>(b));
        EXPECT_EQ(key, want) << name;
    }
    std::vector<uint8_t> key;
    EXPECT_EQ(indexkey::appendText(key, "Ωmega").code(), Status::Code::NotSupported);
}

TEST(JetWriter, RefusesRowsAndTablesThatDoNotFit) {
    TempDir dir;
    auto writer = Writer::create(dir / "refuse.mdb");
    ASSERT_TRUE(writer);
    Writer& w = *writer.value();
    const TableDef tarjeta = snapshotTables()[1], contactos = snapshotTables()[7];
    ASSERT_TRUE(w.createTable(tarjeta));
    ASSERT_TRUE(w.createTable(contactos));
    const Value none;
    const std::vector<Value> card = {
        int64_t{1}, std::string("12345678"), none, none, none, none, none, none, int64_t{3}, false};
    const std::vector<Value> contact = {int64_t{1}, std::string("Ana"), none, none, true};
    // What, table, row, the column changed and its value, the message (empty: accepted).
    using Case =
        std::tuple<const char*, std::size_t, std::vector<Value>, std::size_t, Value, const char*>;
    const std::vector<Case> cases = {
        {"card as given", 0, card, 0, int64_t{1}, ""},
        {"card without IdLocal", 0, card, 8, none, "column IdLocal: NULL in a required column"},
        {"nine-character card number", 0, card, 1, std::string("123456789"),
         "column nTarjNumb: text of 9 characters is longer than the column's 8"},
        {"eight non-ASCII characters", 0, card, 1, std::string("ññññññññ"), ""},
        {"text in a Long column", 0, card, 0, std::string("1"),
         "column cClieCode: expects an integer"},
        {"Long out of range", 0, card, 0, int64_t{1} << 40, "is out of range"},
        {"flag left out reads as No", 0, card, 9, none, ""},
        {"contact without store", 1, contact, 3, none, ""},
        {"too few values", 1, {none}, 0, int64_t{1}, "row has 1 values for 5 columns"},
    };
    std::vector<uint32_t> accepted(2, 0);
    for (auto [what, table, row, column, value, message] : cases) {
        row[column] = value;
        const Status st = w.insert(table, row);
        if (std::string(message).empty()) {
            EXPECT_TRUE(st) << what << ": " << st.message();
            ++accepted[table];
        } else {
            EXPECT_EQ(st.code(), Status::Code::InvalidArgument) << what;
            EXPECT_NE(st.message().find(message), std::string::npos)
                << what << ": " << st.message();
        }
    }
    const ColumnDef id{"Id", ColumnType::Long, 4, true};
    const std::vector<std::pair<TableDef, Status::Code>> tables = {
        {{"", {id}}, Status::Code::InvalidArgument},
        {{"NoColumns", {}}, Status::Code::InvalidArgument},
        {{"Twice", {id, {"ID", ColumnType::Long, 4, false}}}, Status::Code::InvalidArgument},
        {{"WideText", {{"T", ColumnType::Text, 256, false}}}, Status::Code::InvalidArgument},
        {{"Money", {{"M", ColumnType::Currency, 8, false}}}, Status::Code::NotSupported},
        {{"Ωmega", {id}}, Status::Code::NotSupported},
        {{"First", {id}}, Status::Code::Ok},
        {{"FIRST", {id}}, Status::Code::InvalidArgument},
    };
    for (const auto& [def, code] : tables) {
        auto h = w.createTable(def);
        EXPECT_EQ(h.status().code(), code)
            << "table '" << def.name << "': " << h.status().message();
    }
    ASSERT_TRUE(w.commit());
    EXPECT_TRUE(checksConsistent((dir / "refuse.mdb").string()));
    Result<Database> db = Database::open((dir / "refuse.mdb").string());
    ASSERT_TRUE(db) << db.status().message();
    for (std::size_t i = 0; i < 2; ++i) {
        Result<Table> t = db->table(i ? contactos.name : tarjeta.name);
        ASSERT_TRUE(t && t->readAll());
        EXPECT_EQ(t->readAll()->size(), accepted[i]) << t->name();
        EXPECT_EQ(t->storedRowCount(), accepted[i]) << t->name();
    }
}

TEST(JetWriter, AllOrNothing) {
    TempDir dir;
    const fs::path target = dir / "3_05122026.mdb";
    {  // abandoned after rows were written: nothing under the name, no temporary left
        auto writer = Writer::create(target);
        ASSERT_TRUE(writer);
        ASSERT_TRUE(writeContacts(*writer.value(), 5000));
        EXPECT_FALSE(fs::exists(target));
    }
    EXPECT_TRUE(fs::is_empty(dir.root));

    // A committed file stays as it was while a replacement is abandoned.
    ASSERT_TRUE(Writer::create(target).value()->commit());
    const std::vector<uint8_t> before = fileBytes(target.string());
    ASSERT_TRUE(writeContacts(*Writer::create(target).value(), 10));
    EXPECT_EQ(fileBytes(target.string()), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1);

    // A folder that does not exist: refused at once.
    EXPECT_EQ(Writer::create(dir / "no-such-folder" / "x.mdb").status().code(),
              Status::Code::IoError);

    // Nothing more is accepted after a commit.
    auto writer = Writer::create(target);
    ASSERT_TRUE(writer);
    auto t = writer.value()->createTable(snapshotTables()[7]);
    ASSERT_TRUE(writer.value()->commit());
    EXPECT_FALSE(writer.value()->insert(t.value(), {int64_t{1}, Value(), Value(), Value(), false}));
    EXPECT_FALSE(writer.value()->commit());

#ifdef __unix__
    // A disk that fills up while rows are written: the writer reports it and leaves nothing.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1 << 20;  // files of this process may not grow past 1 MiB
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status failure;
    {
        auto full = Writer::create(dir / "full.mdb");
        failure = full ? writeContacts(*full.value(), 200000, true) : full.status();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(failure.code(), Status::Code::IoError) << failure.message();
    EXPECT_NE(failure.message().find("cannot write"), std::string::npos) << failure.message();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.root), {}), 1);
#endif
}

// The ids of a table's rows in the file, or only of those Access moved to another page.
std::vector<RowId> rowIds(const fs::path& file, const std::string& table, bool movedOnly = false) {
    std::vector<RowId> ids;
    Result<Database> db = Database::open(file.string());
    EXPECT_TRUE(db && db->table(table) && db->table(table)->forEachRow([&](const Row& r) {
        if (!movedOnly || !(r.id() == r.storedAt())) ids.push_back(r.id());
        return true;
    })) << file;
    return ids;
}

TEST(JetWriter, ChangesYesNoInPlaceAndDeletesRows) {
    if (!missingReaders().empty()) GTEST_SKIP() << missingReaders();
    TempDir dir;
    const fs::path file = dir / "marks.mdb";
    ASSERT_TRUE(writeContacts(*Writer::create(file).value(), 4, true));
    const std::vector<RowId> ids = rowIds(file, "contactos");
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
        for (const Status& refused :
             {u.setBoolean("Contactos", ids[1], "Email", true),
              u.setBoolean("Contactos", ids[3], "bFlagSincro", true),  // deleted
              u.setBoolean("Contactos", RowId{ids[0].page, 200}, "bFlagSincro", true),
              u.deleteRow("Contactos", RowId{1, 0})}) {
            EXPECT_EQ(refused.code(), Status::Code::InvalidArgument) << refused.message();
        }
        ASSERT_TRUE(u.close());
    }
    EXPECT_EQ(fs::file_size(file), size);
    const ToolOutput csv = runTool({"mdb-export", file.string(), "Contactos"});
    ASSERT_TRUE(csv.ok()) << csv.err;
    EXPECT_EQ(csvRecords(csv.out),
              (std::vector<std::string>{"IdContacto,DscContacto,Email,IdLocal,bFlagSincro",
                                        "0,\"Peña\",,2,1", "1,\"Peña\",,2,0", "2,\"Peña\",,2,1"}));
    EXPECT_TRUE(checksConsistent(file.string()));
}

// Rows Access moved are followed; deleting one removes both its pointer and the row.
TEST(JetWriter, DeletesARowAccessMoved) {
    if (!fs::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    TempDir dir;
    const fs::path file = dir / "moved.mdb";
    fs::copy_file(fs::path(kFixtures) / "overflowTestV2000.mdb", file);
    const std::size_t rows = rowIds(file, "Table1").size();
    const std::vector<RowId> moved = rowIds(file, "Table1", true);
    ASSERT_FALSE(moved.empty()) << "the fixture should hold moved rows";
    {
        auto updater = Updater::open(file);
        ASSERT_TRUE(updater);
        ASSERT_TRUE(updater.value()->deleteRow("Table1", moved[0]));
        EXPECT_EQ(updater.value()->deleteRow("Table1", moved[0]).code(),
                  Status::Code::InvalidArgument);  // already gone
        ASSERT_TRUE(updater.value()->close());
    }
    EXPECT_EQ(rowIds(file, "Table1").size(), rows - 1);
    EXPECT_TRUE(checksConsistent(file.string()));
    if (missingReaders().empty()) expectMdbToolsAgree(file.string());
}
