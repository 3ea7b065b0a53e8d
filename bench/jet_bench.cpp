// Writes, then reads back, a snapshot of 1,000,000 Acumulacion_Punto rows and 100,000 Cliente
// rows (times the scale argument), and times mdb-export and mdb-reader reading the same files.
// Prints rows per second, the ratios, file sizes and peak resident memory of the write phase.
//
// usage: jet_bench [SCALE] [FOLDER]     SCALE 1 = full size (default), 0.01 = a quick run
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SnapshotTables.h"
#include "jet/Reader.h"
#include "jet/Writer.h"

namespace fs = std::filesystem;
using namespace lumaro::jet;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Peak resident set of this process in KiB (VmHWM).
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
}

const TableDef& table(const char* name) {
    static const std::vector<TableDef> defs = lumaro::jet::testing::snapshotTables();
    for (const TableDef& d : defs) {
        if (d.name == name) return d;
    }
    std::abort();
}

const char* const kUsers[] = {"CAJA01", "CAJA02", "SUPERVISOR", "jperez", "mgarcía"};
const char* const kDocTypes[] = {"BOLETA", "FACTURA", "NOTA DE CRÉDITO"};
const char* const kNames[] = {"Peña", "García", "Quispe", "Huamán", "Rodríguez", "Ñahui"};
const char* const kFirst[] = {"Ana", "José", "María Elena", "Luis", "Rosa", "Iñigo"};
const char* const kPlaces[] = {"Miraflores", "San Isidro", "Surco", "Cercado de Lima"};

template <std::size_t N>
const char* pick(const char* const (&list)[N], long i) {
    return list[static_cast<std::size_t>(i) % N];
}

// Fills `row` in place with Acumulacion_Punto row i (about a fifth of the nullable dates NULL).
void accumulation(std::vector<Value>& row, long i) {
    char card[16];
    std::snprintf(card, sizeof card, "%08ld", 10000000 + i % 90000000);
    row[0] = int64_t{i / 10};
    row[1] = int64_t{i};
    row[2] = std::string(card);
    row[3] = int64_t{(i * 37) % 100000};
    row[4] = int64_t{(i * 13) % 500};
    row[5] = std::string(pick(kUsers, i));
    row[6] = i % 5 == 0 ? Value() : Value(DateTime{45000.0 + i % 700 + 0.5});
    row[7] = i % 3 == 0 ? Value() : Value(std::string(pick(kUsers, i + 1)));
    row[8] = i % 5 == 1 ? Value() : Value(DateTime{45000.0 + i % 700 + (i % 86400) / 86400.0});
    row[9] = int64_t{i % 2};
    row[10] = std::string(pick(kDocTypes, i));
    row[11] = std::string("B00") + static_cast<char>('1' + i % 9);
    row[12] = int64_t{i % 1000000};
    row[13] = int64_t{3};
    row[14] = false;
}

void client(std::vector<Value>& row, long i) {
    char phone[16];
    std::snprintf(phone, sizeof phone, "9%08ld", i % 100000000);
    for (Value& v : row) v = Value();
    row[0] = int64_t{i};
    row[1] = std::string(pick(kNames, i)) + " " + pick(kNames, i / 7);
    row[2] = std::string(pick(kFirst, i));
    row[3] = std::string("Av. Arequipa ") + std::to_string(100 + i % 4000);
    row[4] = int64_t{i % 50};
    row[5] = int64_t{i % 25};
    row[6] = int64_t{i % 24};
    row[7] = std::string(phone);
    row[8] = std::string(pick(kFirst, i)) + std::to_string(i) + "@correo.pe";
    row[9] = i % 5 == 0 ? Value() : Value(DateTime{25000.0 + i % 20000});
    row[10] = i % 5 == 2 ? Value() : Value(DateTime{45000.0 + i % 700});
    row[12] = int64_t{i % 3000};
    row[13] = int64_t{i % 40};
    row[15] = std::string(pick(kPlaces, i));
    row[16] = std::string(pick(kPlaces, i + 1));
    row[17] = std::string("Lima");
    row[18] = int64_t{1};
    row[20] = int64_t{0};
    row[21] = int64_t{3};
    row[22] = false;
    row[23] = int64_t{i % 10 == 0};
}

struct Run {
    std::string name;
    long rows;
    void (*fill)(std::vector<Value>&, long);
    std::vector<std::size_t> keys;  // key columns renumbered for every row written
};

// Seconds spent adding rows and committing (flush, sync, rename), for the breakdown line.
struct WriteTimes {
    double insert = 0;
    double commit = 0;
};

int writeFile(const fs::path& path, const Run& run, WriteTimes& times) {
    const TableDef& def = table(run.name.c_str());
    // A pool of prepared rows, cycled with fresh keys, so that the time measured is the
    // engine's rather than that of formatting sample texts.
    constexpr long kPool = 4096;
    std::vector<std::vector<Value>> pool(kPool, std::vector<Value>(def.columns.size()));
    for (long i = 0; i < kPool; ++i) run.fill(pool[static_cast<std::size_t>(i)], i);
    const auto start = Clock::now();
    auto writer = Writer::create(path);
    if (!writer) return std::fprintf(stderr, "%s\n", writer.status().message().c_str()), 1;
    auto handle = writer.value()->createTable(def);
    if (!handle) return std::fprintf(stderr, "%s\n", handle.status().message().c_str()), 1;
    for (long i = 0; i < run.rows; ++i) {
        std::vector<Value>& row = pool[static_cast<std::size_t>(i % kPool)];
        for (std::size_t key : run.keys) row[key] = int64_t{i};
        const Status st = writer.value()->insert(handle.value(), row);
        if (!st) return std::fprintf(stderr, "row %ld: %s\n", i, st.message().c_str()), 1;
    }
    times.insert = seconds(start);
    const auto commitStart = Clock::now();
    const Status st = writer.value()->commit();
    times.commit = seconds(commitStart);
    if (!st) return std::fprintf(stderr, "%s\n", st.message().c_str()), 1;
    return 0;
}

// Runs a shell command, returning its wall time in seconds (negative on failure).
double timeCommand(const std::string& command) {
    const auto start = Clock::now();
    const int rc = std::system(command.c_str());
    return rc == 0 ? seconds(start) : -1.0;
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "jet_bench";
    fs::create_directories(folder);
    const std::vector<Run> runs = {
        {"Acumulacion_Punto", static_cast<long>(1000000 * scale), accumulation, {1}},
        {"Cliente", static_cast<long>(100000 * scale), client, {0}},
    };

    // Node script for mdb-reader, beside a link to the project's node_modules.
    const fs::path modules = fs::path(LUMARO_SOURCE_DIR) / ".cache/node/node_modules";
    const bool haveNode =
        fs::exists(modules / "mdb-reader") && std::system("node --version >/dev/null 2>&1") == 0;
    if (haveNode) {
        std::error_code ec;
        fs::create_directory_symlink(modules, folder / "node_modules", ec);
        std::ofstream(folder / "count.mjs")
            << "import fs from 'node:fs'; import MDBReader from 'mdb-reader';\n"
               "const t = new "
               "MDBReader(fs.readFileSync(process.argv[2])).getTable(process.argv[3]);\n"
               "let n = 0; for (const r of t.getData()) n++; console.log(n);\n";
    }
    const bool haveExport = std::system("mdb-export --version >/dev/null 2>&1") == 0;

    std::printf("%-18s %10s %12s %12s %12s %12s %9s %9s %10s %12s\n", "table", "rows", "write r/s",
                "read r/s", "mdb-export", "mdb-reader", "rd/exp", "rd/mdbr", "file MiB",
                "write RSS");
    for (const Run& run : runs) {
        const fs::path file = folder / (run.name + ".mdb");
        // Write in a child process so that its peak resident memory is the write's alone.
        int pipefd[2];
        if (pipe(pipefd) != 0) return 1;
        const auto writeStart = Clock::now();
        const pid_t child = fork();
        if (child == 0) {
            close(pipefd[0]);
            WriteTimes times;
            const int rc = writeFile(file, run, times);
            const long kib = peakResidentKiB();
            if (write(pipefd[1], &kib, sizeof kib) != sizeof kib ||
                write(pipefd[1], &times, sizeof times) != sizeof times) {
                _exit(1);
            }
            _exit(rc);
        }
        close(pipefd[1]);
        int status = 0;
        waitpid(child, &status, 0);
        const double processTime = seconds(writeStart);
        long writeKiB = -1;
        WriteTimes times;
        if (read(pipefd[0], &writeKiB, sizeof writeKiB) != sizeof writeKiB ||
            read(pipefd[0], &times, sizeof times) != sizeof times) {
            writeKiB = -1;
        }
        // From creating the file to its final name, synced: the engine's part of the run.
        const double writeTime = times.insert + times.commit;
        close(pipefd[0]);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "writing %s failed\n", run.name.c_str());
            return 1;
        }

        const auto readStart = Clock::now();
        long readRows = 0;
        Result<Database> db = Database::open(file.string());
        if (!db) return std::fprintf(stderr, "%s\n", db.status().message().c_str()), 1;
        Result<Table> t = db->table(run.name);
        if (!t) return std::fprintf(stderr, "%s\n", t.status().message().c_str()), 1;
        const Status scanned = t->forEachRow([&](const Row&) {
            ++readRows;
            return true;
        });
        const double readTime = seconds(readStart);
        if (!scanned || readRows != run.rows) {
            std::fprintf(stderr, "read back %ld of %ld rows: %s\n", readRows, run.rows,
                         scanned.message().c_str());
            return 1;
        }

        const double exportTime = haveExport ? timeCommand("mdb-export " + quote(file.string()) +
                                                           " " + run.name + " > /dev/null")
                                             : -1;
        const double readerTime =
            haveNode ? timeCommand("cd " + quote(folder.string()) + " && node count.mjs " +
                                   quote(file.string()) + " " + run.name + " > /dev/null")
                     : -1;
        const auto rate = [&](double t) { return t > 0 ? run.rows / t : 0.0; };
        std::printf("%-18s %10ld %12.0f %12.0f %12.0f %12.0f %9.2f %9.2f %10.1f %9.1f MiB\n",
                    run.name.c_str(), run.rows, rate(writeTime), rate(readTime), rate(exportTime),
                    rate(readerTime), exportTime > 0 ? exportTime / readTime : 0.0,
                    readerTime > 0 ? readerTime / readTime : 0.0,
                    static_cast<double>(fs::file_size(file)) / (1 << 20), writeKiB / 1024.0);
        std::printf(
            "  write: %.3f s creating and adding rows (%.0f rows/s), %.3f s commit with sync; "
            "%.3f s for the whole writing process (fork, sample rows)\n",
            times.insert, times.insert > 0 ? run.rows / times.insert : 0.0, times.commit,
            processTime);
        std::printf("  write/mdb-export %.2f, write/mdb-reader %.2f (rows per second ratios)\n",
                    exportTime > 0 ? rate(writeTime) / rate(exportTime) : 0.0,
                    readerTime > 0 ? rate(writeTime) / rate(readerTime) : 0.0);
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory of the reading process: %.1f MiB\n",
                usage.ru_maxrss / 1024.0);
    std::printf(
        "targets: write >= 2,000,000 Acumulacion_Punto rows/s, read >= 2,000,000 rows/s, "
        "write peak RSS < 64 MiB\n");
    return 0;
}
