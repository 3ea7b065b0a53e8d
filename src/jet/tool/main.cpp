// lumaro-mdb: inspect, export, copy and check Jet 4.0 (.mdb) files with this program's engine.

#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>

#include "jet/tool/Commands.h"

namespace {

using namespace lumaro::jet::tool;

struct Command {
    const char* name;
    const char* arguments;
    std::size_t argumentCount;
    std::vector<std::string_view> options;  // the options it allows, first the default
    const char* summary;
    int (*run)(const Args&);
};

const Command kCommands[] = {
    {"tables", "FILE", 1, {}, "list the user tables with their row counts", tables},
    {"schema", "FILE", 1, {}, "show every user table's columns: type, size, NOT NULL", schema},
    {"export",
     "FILE TABLE",
     2,
     {"--csv", "--json"},
     "write a table as CSV (the default, as mdb-export) or JSON",
     exportTable},
    {"copy",
     "SRC DST",
     2,
     {},
     "write a new database with every user table of SRC that can be written",
     copy},
    {"check", "FILE", 1, {}, "check the file; says what is wrong and what to do about it", check},
};

std::string synopsis(const Command& c) {
    std::string head = std::string(c.name) + " " + c.arguments;
    if (!c.options.empty()) {
        head += " [";
        for (std::size_t i = 0; i < c.options.size(); ++i)
            head += std::string(i ? " | " : "") + std::string(c.options[i]);
        head += "]";
    }
    return head;
}

void usage(std::ostream& out) {
    out << "usage: lumaro-mdb COMMAND ARGUMENTS\n\ncommands:\n";
    for (const Command& c : kCommands) {
        const std::string head = synopsis(c);
        out << "  " << head << std::string(head.size() < 36 ? 36 - head.size() : 1, ' ')
            << c.summary << "\n";
    }
    out << "\nExit status: 0 on success, 1 when the file is missing, unreadable or damaged "
           "(or copy's destination is not a regular file), 2 on wrong usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(std::cerr);
        return kExitUsage;
    }
    const std::string_view word = argv[1];
    if (word == "--help" || word == "-h" || word == "help") {
        usage(std::cout);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (word != c.name) continue;
        Args args;
        for (int i = 2; i < argc; ++i) {
            const std::string_view a = argv[i];
            const bool option = a.size() > 2 && a.substr(0, 2) == "--";
            if (option && std::find(c.options.begin(), c.options.end(), a) == c.options.end()) {
                std::cerr << "lumaro-mdb " << c.name << ": unknown option \"" << a << "\"\n";
            }
            (option ? args.options : args.positional).emplace_back(a);
        }
        const bool known = std::all_of(args.options.begin(), args.options.end(), [&](auto& o) {
            return std::find(c.options.begin(), c.options.end(), o) != c.options.end();
        });
        if (!known || args.size() != c.argumentCount || args.options.size() > 1) {
            std::cerr << "usage: lumaro-mdb " << synopsis(c) << "\n";
            return kExitUsage;
        }
        return c.run(args);
    }
    std::cerr << "lumaro-mdb: unknown command \"" << word << "\"\n";
    usage(std::cerr);
    return kExitUsage;
}
