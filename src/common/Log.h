#pragma once
// Logging of the core, one category per layer ("trellick.gesture", "trellick.tracking", ...).
// The core has no Qt, so lines go to replaceable sinks; the application routes them into Qt's
// logging categories (QT_LOGGING_RULES decides), tests capture them. Warnings are on by
// default; debug lines are off until a category is switched on, and while off they cost one
// relaxed atomic load and build no text, so the touch thread may carry them.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace trellick::log {

class Category {
public:
    // Categories are objects with static storage (below); they register themselves.
    explicit Category(const char* name);
    Category(const Category&) = delete;
    Category& operator=(const Category&) = delete;

    const char* name() const { return name_; }
    bool debugEnabled() const { return debug_.load(std::memory_order_relaxed); }
    void setDebugEnabled(bool on) { debug_.store(on, std::memory_order_relaxed); }

private:
    const char* name_;
    std::atomic<bool> debug_{false};
};

extern Category gesture;   // "trellick.gesture": gestures, their decisions, switches, touchpads started
extern Category tracking;  // "trellick.tracking": the recency lists
extern Category settings;  // "trellick.settings"
extern Category evdev;     // "trellick.evdev": touchpads found, opened, refused, gone
extern Category app;       // "trellick.app"

// Every category, in registration order.
std::vector<Category*> categories();
// Switches debug lines of the category of that name on or off (other names are ignored).
void setDebugEnabled(const std::string& category, bool on);

using Sink = std::function<void(const std::string& category, const std::string& message)>;

// Replaces the warning sink (nullptr restores the default: one line on standard error).
void setSink(Sink sink);
void warning(const std::string& category, const std::string& message);
inline void warning(const Category& category, const std::string& message) {
    warning(category.name(), message);
}

// Replaces the debug sink (nullptr restores the default: "category: message" on standard
// error). Which categories reach it is decided by their switches.
void setDebugSink(Sink sink);
void debugLine(const Category& category, const std::string& message);
// "a, b, c": lists in debug lines.
std::string joined(const std::vector<std::string>& items);

// The line is made by `make` only when the category's debug output is on.
template <typename MakeMessage>
void debug(const Category& category, MakeMessage&& make) {
    if (category.debugEnabled()) debugLine(category, make());
}

}  // namespace trellick::log
