#pragma once
// The KWin rig's pointer and keys: KWin's fake input, offered to the tests by kwinEntries.

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"
#include "platform/wayland/WaylandConnection.h"

namespace trellick::rig {

class KWinFakeInput {
public:
    explicit KWinFakeInput(const std::shared_ptr<wayland::WaylandConnection>& conn) : conn_(conn) {
        // Version 4 brings keys; 3 absolute pointer motion.
        input_ = conn_->bind<org_kde_kwin_fake_input>(org_kde_kwin_fake_input_interface, 4);
        if (input_) org_kde_kwin_fake_input_authenticate(input_, "Trellick tests", "the rig's pointer and keys");
    }
    ~KWinFakeInput() {
        if (input_) org_kde_kwin_fake_input_destroy(input_);
    }
    KWinFakeInput(const KWinFakeInput&) = delete;
    KWinFakeInput& operator=(const KWinFakeInput&) = delete;

    bool ready() const { return input_ != nullptr; }
    void moveTo(int x, int y) {
        org_kde_kwin_fake_input_pointer_motion_absolute(input_, wl_fixed_from_int(x), wl_fixed_from_int(y));
        conn_->roundtrip();
    }
    void scroll() {
        org_kde_kwin_fake_input_axis(input_, WL_POINTER_AXIS_VERTICAL_SCROLL, wl_fixed_from_int(15));
        conn_->roundtrip();
    }
    void key(uint32_t code) {
        org_kde_kwin_fake_input_keyboard_key(input_, code, WL_KEYBOARD_KEY_STATE_PRESSED);
        org_kde_kwin_fake_input_keyboard_key(input_, code, WL_KEYBOARD_KEY_STATE_RELEASED);
        conn_->roundtrip();
    }

private:
    std::shared_ptr<wayland::WaylandConnection> conn_;
    org_kde_kwin_fake_input* input_ = nullptr;
};

}  // namespace trellick::rig
