#include "run/Console.h"

#include "run/HeadlessConsole.h"

namespace lumaro::run {

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

}  // namespace lumaro::run
