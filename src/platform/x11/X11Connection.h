#pragma once
// One connection to the X server shared by the window system, the key monitor and the pointer
// grab. A reader thread waits for events and hands each to the main queue, where the
// subscribers see them in order. xcb is thread-safe, so requests may be made from any thread;
// X errors come back with the reply or as events and are never fatal.

#include <xcb/xcb.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "common/MainQueue.h"
#include "common/Observable.h"
#include "common/Result.h"

namespace trellick::x11 {

class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    // Connects to $DISPLAY (or `display`). Fails, saying why, when there is no X server.
    // Whether an X11 display can be reached at all (a connection opened and closed again).
    static bool displayReachable();
    static Result<std::shared_ptr<X11Connection>> open(std::shared_ptr<MainQueue> mainQueue,
                                                       const char* display = nullptr);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return c_; }
    xcb_window_t root() const { return root_; }
    // A small unmapped window of ours (wake-ups, timestamps).
    xcb_window_t ownWindow() const { return own_; }
    // Interned once; thread-safe after that.
    xcb_atom_t atom(const std::string& name);
    bool broken() const { return xcb_connection_has_error(c_) != 0; }

    // Every event (and asynchronous error), on the main thread. Subscribe there.
    using Event = std::shared_ptr<const xcb_generic_event_t>;
    Subscription onEvent(std::function<void(const Event&)> handler) { return events_.connect(std::move(handler)); }
    // The server went away (delivered once, on the main thread).
    Subscription onLost(std::function<void()> handler) {
        return lost_.connect([h = std::move(handler)] { h(); });
    }

    // Starts the reader thread. Call once subscribers are in place.
    void startReading();

    // The last server time seen in an event (for requests that want a real timestamp).
    xcb_timestamp_t lastTime() const { return lastTime_.load(); }

private:
    X11Connection(std::shared_ptr<MainQueue> mainQueue, xcb_connection_t* c, xcb_screen_t* screen);
    void readLoop();

    std::shared_ptr<MainQueue> mainQueue_;
    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_window_t own_ = 0;
    xcb_atom_t wakeAtom_ = 0;
    std::mutex atomsLock_;
    std::map<std::string, xcb_atom_t> atoms_;
    std::atomic<bool> stopping_{false};
    std::atomic<xcb_timestamp_t> lastTime_{XCB_CURRENT_TIME};
    std::thread reader_;
    Signal<Event> events_;
    Signal<> lost_;
    bool lostReported_ = false;
};

}  // namespace trellick::x11
