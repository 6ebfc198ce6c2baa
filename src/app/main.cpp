#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/Commands.h"

namespace {

const char* kUsage =
    "Usage: trellick [OPTIONS]\n"
    "       trellick debug-gestures [--frames FILE | --replay FILE] [OPTIONS]\n"
    "\n"
    "Switch windows with a three-finger sideways swipe on the touchpad. Without options it runs\n"
    "in the system tray of an X11 or Wayland session.\n"
    "\n"
    "Options:\n"
    "  --replay FILE          feed a touchpad recording (evemu, evtest or 'libinput record')\n"
    "                         or a --frames scenario (its first line that is not a comment\n"
    "                         starts with a time) instead of the touchpads, in real time\n"
    "  --quit-after-replay    with --replay: quit one second after the last frame\n"
    "  -h, --help             show this help and exit\n"
    "  -v, --version          show the version and exit\n"
    "\n"
    "debug-gestures prints, one JSON object a line, what the gesture engine decides:\n"
    "  --frames FILE          a scenario file: 'T X1 Y1 X2 Y2 ...' contact frames, 'T escape'\n"
    "  --replay FILE          a recording (evemu, evtest or 'libinput record')\n"
    "  --device-desc FILE     axis ranges for a recording without them (evemu A: lines)\n"
    "  --dump-frames          print the assembled frames in the --frames format instead\n"
    "  --recents N            entries in the recency list (default 5)\n"
    "  --favourites N         pinned favourites, all resolving (default 0)\n"
    "  --set KEY=VALUE        store a preference first, e.g. --set trellick.mode=\"toggleLastApp\"\n"
    "  --overlay DIR          also draw the overlay after each update, offscreen, as numbered\n"
    "                         PNG files named with the frame time (overlay-0001-t0.260.png)\n"
    "  --overlay-appearance light|dark\n"
    "                         the pictures' colour scheme (default light)\n"
    "  --overlay-scale N      device pixels per point in the pictures, 1 to 4 (default 1)\n"
    "  Without --frames or --replay it reads the touchpads live until interrupted.\n"
    "\n"
    "Exit status: 0 done; 1 no X11 display, or the display or compositor went away; 2 bad options or input\n"
    "(a file that does not parse is reported as FILE:LINE); 3 debug-gestures found no readable\n"
    "touchpad.\n"
    "\n"
    "The manual page, trellick(1), also describes the output events, the files and the environment.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args) {
        if (a == "debug-gestures") break;  // its own options follow
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "-v" || a == "--version") {
            std::printf("trellick %s\n", TRELLICK_VERSION);
            return 0;
        }
    }
    if (!args.empty() && args[0] == "debug-gestures") {
        for (const auto& a : args) {
            if (a == "-h" || a == "--help") {
                std::fputs(kUsage, stdout);
                return 0;
            }
        }
        return trellick::runDebugGestures({args.begin() + 1, args.end()});
    }
    return trellick::runTrayApp(argc, argv);
}
