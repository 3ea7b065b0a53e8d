// Every shared Jet fixture read alike by this engine, mdbtools and mdb-reader; lumaro-mdb on them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ExternalReaders.h"
#include "jet/Reader.h"

using namespace lumaro::jet;
using namespace lumaro::jet::testing;
namespace fs = std::filesystem;

namespace {

// What check says of Access's own files: traces Access leaves behind are notes, never damage.
// The Jet 4 files in the folder LUMARO_MORE_JET_FIXTURES names, if any (such as the Jackcess
// and mdb-reader test data), must show no damage either.
const std::map<std::string, std::string> kNotes = {
    {"testV2000.mdb", "nota: table MSysACEs: stored row count 61, scan found 64\n"},
};

std::string expectedCheck(const std::string& path, const std::string& note) {
    if (note.empty()) return path + ": coherente\n";
    return path + ": " + note + path +
           ": sano: todas las tablas de usuario se leen enteras; la nota de arriba no es dano: "
           "Access mismo deja esas huellas, y no se pierde ningun dato\n";
}

// Each fixture reads alike in this engine, mdbtools and mdb-reader; check finds no damage.
TEST(JetFixtures, MatchMdbToolsAndMdbReaderAndCheck) {
    if (!fs::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    const std::string missing = missingReaders();
    const char* more = std::getenv("LUMARO_MORE_JET_FIXTURES");
    for (const std::string& dir : {kFixtures, std::string(more ? more : "")}) {
        if (dir.empty()) continue;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            if (e.path().extension() != ".mdb" || fs::file_size(e.path()) == 0) continue;
            const std::string path = e.path().string();
            SCOPED_TRACE(path);
            const ToolOutput check = lumaroMdb({"check", path});
            EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
            if (dir != kFixtures) continue;
            const auto note = kNotes.find(e.path().filename().string());
            EXPECT_EQ(check.out, expectedCheck(path, note == kNotes.end() ? "" : note->second));
            if (!missing.empty()) continue;
            expectMdbToolsAgree(path);
            expectMdbReaderAgrees(path);
        }
    }
    if (!missing.empty()) GTEST_SKIP() << missing;
}

// Tables, columns and fields are found by name in any case; what is not there is reported.
TEST(JetFixtureNames, FoundInAnyCase) {
    if (!fs::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    Result<Database> db = Database::open(kFixtures + "/testV2000.mdb");
    ASSERT_TRUE(db) << db.status().message();
    EXPECT_EQ(db->table("Cliente").status().code(), Status::Code::NotFound);
    EXPECT_TRUE(db->table("msysobjects"));  // system tables are found by name too
    Result<Table> t = db->table("TABLE1");  // stored as "Table1"
    ASSERT_TRUE(t) << t.status().message();
    EXPECT_EQ(t->name(), "Table1");
    ASSERT_NE(t->column("a"), nullptr);
    EXPECT_EQ(t->column("a")->name, "A");
    Status s = t->forEachRow([&](const Row& r) {
        EXPECT_EQ(r.field("I"), &r[8]);
        EXPECT_EQ(r.field("nope"), nullptr);
        return true;
    });
    ASSERT_TRUE(s) << s.message();
}

// lumaro-mdb's command line. Cases: @X cut at 9000 bytes, @P at 16 pages, @E empty, @A text,
// @D a link to a device.
std::string caseFile(const std::string& tag) {
    if (tag == "@T") return kFixtures + "/testV2000.mdb";
    const std::string path = std::string(LUMARO_BINARY_DIR) + "/jet-case-" + tag.substr(1) + ".mdb";
    if (tag == "@D") {
        fs::remove(path);
        fs::create_symlink("/dev/null", path);
        return path;
    }
    const std::vector<uint8_t> bytes = fileBytes(kFixtures + "/testV2000.mdb");
    const std::size_t size = tag == "@X" ? 9000 : tag == "@P" ? 16 * 4096 : 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (tag == "@A") out << "IdLocal;Fecha\n7;01/02/2024\n";
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(std::min(size, bytes.size())));
    return path;
}

// Name, arguments (separated by blanks; "@T", "@X", "@P", "@E", "@A", "@D": the files above), exit
// status, whether the text is looked for on standard error (else output), a part of that stream.
const std::tuple<const char*, const char*, int, bool, const char*> kToolCases[] = {
    {"MissingArgument", "export @T", 2, true,
     "export espera 2 argumento(s) (ARCHIVO TABLA), recibio 1\n"
     "uso: lumaro-mdb export ARCHIVO TABLA [--csv | --json]"},
    {"TwoFormats", "export --csv @T Table1 --json", 2, true, "una sola opcion a la vez"},
    {"OptionNotAllowed", "tables @T --json", 2, true, "tables: opcion desconocida \"--json\""},
    {"TablesCountRows", "tables @T", 0, false, "Table1\t2\nTable2\t0\n"},
    {"ExportAnyCase", "export @T TABLE1", 0, false, "A,B,C,D,E,F,G,H,I\n"},
    {"ExportCsv", "export --csv @T Table1", 0, false,
     "\"a\",\"b\",0,0,0,0,\"12/12/81 00:00:00\",0.0000,0\n"},
    {"ExportJson", "export @T Table1 --json", 0, false,
     "[\n{\"A\":\"abcdefg\",\"B\":\"hijklmnop\",\"C\":2,\"D\":222,\"E\":333333333,"
     "\"F\":444.555,\"G\":\"1974-09-21T00:00:00\",\"H\":3.5000,\"I\":true},\n"},
    {"NoSuchTable", "export @T Nope", 2, true, "no tiene la tabla \"Nope\""},
    {"NoSuchFile", "tables /nonexistent/x.mdb", 1, true, "x.mdb: el archivo no existe"},
    {"Empty", "export @E Table1", 1, true,
     "el archivo esta vacio (0 bytes); la copia o la descarga que lo hizo no termino"},
    {"Text", "check @A", 1, true,
     "no es un archivo Jet 4.0 (empieza con texto: \"IdLocal;Fecha\")"},
    {"CutInPage", "tables @X", 1, true,
     "el archivo esta cortado: termina 808 bytes dentro de la pagina 2 (las paginas son de 4096 "
     "bytes)"},
    {"CutAtPage", "check @P", 1, true,
     "el archivo esta cortado: falta la pagina 22 (el archivo termina tras 16 paginas)"},
    // copy never writes over what exists unless told to, and never over a device.
    {"CopyOntoExisting", "copy @T @E", 1, true,
     "ya existe; no se toca (--reemplazar para escribir la copia encima)"},
#ifndef _WIN32  // no device files there
    {"CopyOntoDevice", "copy @T @D --reemplazar", 1, true,
     "exists and is a device, not a regular file; it is left as it is"},
#endif
};

TEST(LumaroMdb, ExitStatusAndMessage) {
    if (!fs::exists(kFixtures)) GTEST_SKIP() << "no Jet fixtures at " << kFixtures;
    for (const auto& [name, argText, exitCode, onErr, text] : kToolCases) {
        SCOPED_TRACE(name);
        std::vector<std::string> args;
        std::vector<std::vector<uint8_t>> before;
        std::istringstream words(argText);
        for (std::string a; words >> a;) {
            args.push_back(a[0] == '@' ? caseFile(a) : a);
            before.push_back(fileBytes(args.back()));
        }
        const ToolOutput r = lumaroMdb(args);
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_NE((onErr ? r.err : r.out).find(text), std::string::npos) << r.out << r.err;
        for (std::size_t i = 0; i < args.size(); ++i)
            EXPECT_EQ(fileBytes(args[i]), before[i]) << args[i];
    }
}

}  // namespace
