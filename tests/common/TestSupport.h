#pragma once
// Helpers the tests share: a whole file as text, a bounded wait on a condition, and the
// warnings logged meanwhile.

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Log.h"

namespace trellick::test {

inline std::string slurp(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

inline double monotonicNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Polls `done` every 10 ms for up to `timeout` seconds, running `pump` (a main queue, say)
// before each look.
inline bool waitFor(const std::function<bool()>& done, double timeout = 5.0,
                    const std::function<void()>& pump = nullptr) {
    for (double end = monotonicNow() + timeout;; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        if (pump) pump();
        if (done()) return true;
        if (monotonicNow() > end) return false;
    }
}

// The warnings logged while it lives, in order.
struct Warnings : std::vector<std::string> {
    Warnings() {
        log::setSink([this](const std::string&, const std::string& m) { push_back(m); });
    }
    ~Warnings() { log::setSink(nullptr); }
    Warnings(const Warnings&) = delete;
    Warnings& operator=(const Warnings&) = delete;
};

}  // namespace trellick::test
