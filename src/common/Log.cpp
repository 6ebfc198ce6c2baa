#include "common/Log.h"

#include <cstdio>
#include <mutex>

namespace trellick::log {
namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
Sink& currentSink() {
    static Sink s;
    return s;
}
}  // namespace

void setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

void warning(const std::string& category, const std::string& message) {
    Sink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(category, message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

}  // namespace trellick::log
