#include "config/Console.h"

#include "config/HeadlessConsole.h"

namespace lumaro::config {

namespace {

Console*& installed() {
    static Console* c = nullptr;
    return c;
}

}  // namespace

Console& console() {
    static HeadlessConsole fallback;
    return installed() != nullptr ? *installed() : fallback;
}

void setConsole(Console* c) { installed() = c; }

}  // namespace lumaro::config
