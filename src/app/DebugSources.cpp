// The recording and live sources of `trellick debug-gestures`.

#include <cstdio>

#include "app/DebugGestures.h"

namespace trellick {

int parseMoreDebugOptions(const std::vector<std::string>&, std::size_t&, DebugSource&) { return -1; }

int runOtherDebugSource(const DebugSource&, const GestureRun::Options&) {
    std::fprintf(stderr, "trellick: debug-gestures needs --frames FILE\n");
    return 2;
}

}  // namespace trellick
