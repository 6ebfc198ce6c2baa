#include "common/Log.h"

#include <cstdio>
#include <mutex>

namespace trellick::log {
namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
Sink& warningSink() {
    static Sink s;
    return s;
}
Sink& debugSink() {
    static Sink s;
    return s;
}
std::vector<Category*>& registry() {
    static std::vector<Category*> all;
    return all;
}
Sink current(Sink& sink) {
    std::lock_guard lock(sinkMutex());
    return sink;
}
}  // namespace

Category::Category(const char* name) : name_(name) {
    std::lock_guard lock(sinkMutex());
    registry().push_back(this);
}

Category gesture("trellick.gesture");
Category tracking("trellick.tracking");
Category settings("trellick.settings");
Category evdev("trellick.evdev");
Category app("trellick.app");

std::vector<Category*> categories() {
    std::lock_guard lock(sinkMutex());
    return registry();
}

void setDebugEnabled(const std::string& category, bool on) {
    for (Category* c : categories()) {
        if (category == c->name()) c->setDebugEnabled(on);
    }
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

void setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    warningSink() = std::move(sink);
}

void setDebugSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    debugSink() = std::move(sink);
}

void warning(const std::string& category, const std::string& message) {
    if (Sink sink = current(warningSink())) {
        sink(category, message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

void debugLine(const Category& category, const std::string& message) {
    if (Sink sink = current(debugSink())) {
        sink(category.name(), message);
    } else {
        std::fprintf(stderr, "%s: %s\n", category.name(), message.c_str());
    }
}

}  // namespace trellick::log
