#pragma once
// The commands of lumaro-mdb. Each takes its arguments after the command word, writes its
// output to standard output and its complaints to standard error, and returns the process's
// exit status (0 done, 1 the file is missing, unreadable or damaged, or copy's destination
// exists, 2 wrong usage, 3 copy left out some tables).

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace lumaro::jet::tool {

constexpr int kExitDamaged = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;

// The words after the command: positional arguments in order, and the options ("--json")
// the command allows, wherever they stood.
struct Args {
    std::vector<std::string> positional;
    std::vector<std::string> options;

    std::size_t size() const { return positional.size(); }
    const std::string& operator[](std::size_t i) const { return positional[i]; }
    bool has(std::string_view option) const {
        return std::find(options.begin(), options.end(), option) != options.end();
    }
};

int tables(const Args& args);       // tables FILE: names and row counts
int schema(const Args& args);       // schema FILE
int exportTable(const Args& args);  // export FILE TABLE [--csv | --json]
int copy(const Args& args);         // copy SRC DST [--reemplazar]
int check(const Args& args);        // check FILE

}  // namespace lumaro::jet::tool
