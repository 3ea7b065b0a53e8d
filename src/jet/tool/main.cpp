// lumaro-mdb: inspect, export, copy and check Jet 4.0 (.mdb) files with this program's engine.

#include <cstring>
#include <iostream>
#include <string_view>

#include "jet/tool/Commands.h"

namespace {

using lumaro::jet::tool::Args;

struct Command {
    const char* name;
    const char* arguments;
    std::size_t argumentCount;
    const char* summary;
    int (*run)(const Args&);
};

const Command kCommands[] = {
    {"tables", "FILE", 1, "list the user tables, one per line", lumaro::jet::tool::tables},
    {"schema", "FILE", 1, "show every user table's columns: type, size, NOT NULL",
     lumaro::jet::tool::schema},
    {"export", "FILE TABLE", 2, "write a table as CSV (mdb-export's default form)",
     lumaro::jet::tool::exportTable},
    {"copy", "SRC DST", 2, "write a new database with every user table of SRC that can be written",
     lumaro::jet::tool::copy},
    {"check", "FILE", 1, "check structural consistency; exit status 1 on any inconsistency",
     lumaro::jet::tool::check},
};

void usage(std::ostream& out) {
    out << "usage: lumaro-mdb COMMAND ARGUMENTS\n\ncommands:\n";
    for (const Command& c : kCommands) {
        std::string head = std::string(c.name) + " " + c.arguments;
        out << "  " << head << std::string(head.size() < 20 ? 20 - head.size() : 1, ' ')
            << c.summary << "\n";
    }
    out << "\nExit status: 0 on success, 1 when the file is damaged or inconsistent, 2 on wrong "
           "usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(std::cerr);
        return 2;
    }
    const std::string_view word = argv[1];
    if (word == "--help" || word == "-h" || word == "help") {
        usage(std::cout);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (word != c.name) continue;
        Args args(argv + 2, argv + argc);
        if (args.size() != c.argumentCount) {
            std::cerr << "usage: lumaro-mdb " << c.name << " " << c.arguments << "\n";
            return 2;
        }
        return c.run(args);
    }
    std::cerr << "lumaro-mdb: unknown command \"" << word << "\"\n";
    usage(std::cerr);
    return 2;
}
