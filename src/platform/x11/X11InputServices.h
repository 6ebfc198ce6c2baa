#pragma once
// The gesture engine's input services on X11: scroll suppression as an active pointer grab,
// and the Escape monitor from XInput2 raw key presses selected on the root window.

#include <xcb/xcb_keysyms.h>

#include <map>
#include <memory>

#include "gesture/InputServices.h"
#include "platform/x11/X11Connection.h"

namespace trellick::x11 {

// While enabled, the pointer is grabbed on the root: every button (so every scroll step)
// and motion event comes to us and is dropped. A refused grab (another client holds one) is
// not retried here: the suppressor asks again at the next begin.
class X11ScrollBlocker : public ScrollBlocker {
public:
    explicit X11ScrollBlocker(std::shared_ptr<X11Connection> connection) : conn_(std::move(connection)) {}
    ~X11ScrollBlocker() override;
    bool create() override;
    void setEnabled(bool enabled) override;
    void setLostHandler(std::function<void()> handler) override { lost_ = std::move(handler); }

private:
    std::shared_ptr<X11Connection> conn_;
    std::function<void()> lost_;
    bool grabbed_ = false;
    Subscription lostSub_;
    bool lostWatched_ = false;
};

class X11KeyMonitor : public KeyMonitor, public std::enable_shared_from_this<X11KeyMonitor> {
public:
    static std::shared_ptr<X11KeyMonitor> create(std::shared_ptr<X11Connection> connection);
    ~X11KeyMonitor() override;
    // Nothing when the server lacks XInput 2.
    std::optional<Token> addEscapeMonitor(std::function<void()> onEscape) override;
    void removeMonitor(Token token) override;
    bool available() const { return xiOpcode_ != 0; }

private:
    explicit X11KeyMonitor(std::shared_ptr<X11Connection> connection);
    void select(bool on);
    void handle(const X11Connection::Event& ev);

    std::shared_ptr<X11Connection> conn_;
    uint8_t xiOpcode_ = 0;
    xcb_key_symbols_t* syms_ = nullptr;
    std::map<Token, std::function<void()>> handlers_;
    Token next_ = 0;
    Subscription eventSub_;
};

}  // namespace trellick::x11
