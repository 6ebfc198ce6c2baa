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

// Looks at `done` every millisecond, after running `pump` (a main queue, say), for up to 10 s.
inline bool eventually(const std::function<bool()>& done, const std::function<void()>& pump = {}) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);;) {
        if (pump) pump();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
