#pragma once
// Swipes written as a scenario that `trellick --replay` plays as a touchpad.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace trellick::rig {

// Three fingers that settle for 0.1 s at `start`, slide right by `dx` every 10 ms for `steps`
// frames, pull down by `pull` in all over 20 more, rest there for `hold` seconds and lift.
struct Swipe {
    double start;
    int steps;
    double dx;
    double hold = 0;
    double pull = 0;
};

// The swipes as a scenario (the `debug-gestures --frames` format), its clock starting at 0.
inline std::string scenario(const std::vector<Swipe>& swipes) {
    std::string out = "0.000\n";
    char line[128];
    for (const Swipe& s : swipes) {
        auto frame = [&](double t, double x, double y = 0) {
            std::snprintf(line, sizeof line, "%.3f %.4f %.4f %.4f %.4f %.4f %.4f\n", s.start + t, 0.3 + x, 0.5 - y,
                          0.4 + x, 0.53 - y, 0.5 + x, 0.5 - y);
            out += line;
        };
        const int pullSteps = s.pull > 0 ? 20 : 0;
        const double end = 0.01 * (10 + s.steps + pullSteps);
        for (int f = 0; f <= 10 + s.steps; ++f) frame(0.01 * f, s.dx * std::max(0, f - 10));
        for (int f = 1; f <= pullSteps; ++f) frame(0.01 * (10 + s.steps + f), s.dx * s.steps, s.pull * f / pullSteps);
        if (s.hold > 0) frame(end + s.hold, s.dx * s.steps, s.pull);
        std::snprintf(line, sizeof line, "%.3f\n", s.start + end + s.hold + 0.01);
        out += line;
    }
    return out;
}

// The recency list ("windows" or "applications") trellick last logged in `err`, once it has logged one.
inline std::optional<std::string> lastList(const std::string& err, const std::string& of = "windows") {
    const std::string line = "trellick.tracking: " + of + ", most recent first: ";
    auto at = err.rfind(line);
    if (at == std::string::npos) return std::nullopt;
    at += line.size();
    return err.substr(at, err.find('\n', at) - at);
}

}  // namespace trellick::rig
