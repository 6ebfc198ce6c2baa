#pragma once
// One connection to the Wayland compositor of our own, beside Qt's: Qt 6.4 offers no public way
// to reach its wl_display, and the protocols the backend needs (foreign toplevels, layer shell)
// are not Qt's. Its socket sits on a QSocketNotifier, so events are dispatched on the main thread
// by Qt's event loop; requests are flushed before the loop sleeps. Main thread only.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Observable.h"
#include "common/Result.h"

struct wl_display;
struct wl_registry;
struct wl_interface;
class QSocketNotifier;

namespace trellick::wayland {

class WaylandConnection : public QObject {
public:
    // Connects to $WAYLAND_DISPLAY (or `name`) and reads the compositor's globals. Fails, saying
    // why, when there is no compositor.
    static Result<std::shared_ptr<WaylandConnection>> open(const char* name = nullptr);
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }

    struct Global {
        uint32_t name = 0;
        std::string interface;
        uint32_t version = 0;
    };
    const std::vector<Global>& globals() const { return globals_; }
    bool offers(const wl_interface& interface) const;
    // Binds the first global of that interface at its version or `maxVersion`, whichever is lower;
    // null when the compositor does not offer one.
    void* bind(const wl_interface& interface, uint32_t maxVersion);
    void* bind(const Global& global, const wl_interface& interface, uint32_t maxVersion);
    template <typename T>
    T* bind(const wl_interface& interface, uint32_t maxVersion) {
        return static_cast<T*>(bind(interface, maxVersion));
    }

    // Globals that come later (an output plugged in) and go.
    Subscription onGlobalAdded(std::function<void(const Global&)> handler) {
        return added_.connect(std::move(handler));
    }
    Subscription onGlobalRemoved(std::function<void(uint32_t name)> handler) {
        return removed_.connect(std::move(handler));
    }
    // The compositor went away or the connection broke (delivered once).
    Subscription onLost(std::function<void()> handler) {
        return lost_.connect([h = std::move(handler)] { h(); });
    }
    bool broken() const;

    // Sends what is queued and waits until the compositor has answered all of it, dispatching
    // the events that come meanwhile. False when the connection broke.
    bool roundtrip();
    void flush();

private:
    explicit WaylandConnection(wl_display* display);
    void readable();
    void prepareToSleep();
    void reportLost();
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void globalRemove(void* data, wl_registry* registry, uint32_t name);

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    std::vector<Global> globals_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection sleepHook_;
    Signal<Global> added_;
    Signal<uint32_t> removed_;
    Signal<> lost_;
    bool lostReported_ = false;
};

}  // namespace trellick::wayland
