// Temporary stand-ins until WriteCommands.cpp exists; weak, so the real ones win. To be removed.
#include <iostream>

#include "jet/tool/Commands.h"

namespace lumaro::jet::tool {

__attribute__((weak)) int copy(const Args&) {
    std::cerr << "lumaro-mdb: copy is not available in this build\n";
    return 2;
}
__attribute__((weak)) int check(const Args&) {
    std::cerr << "lumaro-mdb: check is not available in this build\n";
    return 2;
}

}  // namespace lumaro::jet::tool
