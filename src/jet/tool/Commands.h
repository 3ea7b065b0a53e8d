#pragma once
// The commands of lumaro-mdb. Each takes its arguments after the command word, writes its
// output to standard output and its complaints to standard error, and returns the process's
// exit status.

#include <string>
#include <vector>

namespace lumaro::jet::tool {

using Args = std::vector<std::string>;

int tables(const Args& args);  // tables FILE
int schema(const Args& args);  // schema FILE
int exportTable(const Args& args);  // export FILE TABLE
int copy(const Args& args);    // copy SRC DST
int check(const Args& args);   // check FILE

}  // namespace lumaro::jet::tool
