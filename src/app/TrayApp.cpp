#include <cstdio>

#include "app/Commands.h"

namespace trellick {

int runTrayApp(int, char**) {
    std::fputs("trellick: the tray application is not built yet; try 'trellick debug-gestures --help'\n", stderr);
    return 1;
}

}  // namespace trellick
