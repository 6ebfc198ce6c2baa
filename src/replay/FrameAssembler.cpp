#include "replay/FrameAssembler.h"

#include <linux/input.h>

#include <cassert>

namespace trellick::input {

std::optional<std::string> DeviceInfo::unusableReason() const {
    auto x = xAxis();
    auto y = yAxis();
    if (!x || !y) return std::string("no axis ranges for the touch position (ABS_MT_POSITION_X/Y)");
    if (x->maximum <= x->minimum) return std::string("the x axis range is empty");
    if (y->maximum <= y->minimum) return std::string("the y axis range is empty");
    return std::nullopt;
}

FrameAssembler::FrameAssembler(const DeviceInfo& device) {
    assert(!device.unusableReason());
    auto x = device.xAxis().value_or(AbsAxis{true, 0, 1, 0});
    auto y = device.yAxis().value_or(AbsAxis{true, 0, 1, 0});
    xMin_ = x.minimum;
    xSpan_ = double(x.maximum) - double(x.minimum);
    yMin_ = y.minimum;
    ySpan_ = double(y.maximum) - double(y.minimum);
    if (xSpan_ <= 0) xSpan_ = 1;
    if (ySpan_ <= 0) ySpan_ = 1;
    hasBtnTouch_ = device.hasKey(BTN_TOUCH);
    hasDistance_ = device.hasAbs(ABS_MT_DISTANCE);
    protocolA_ = device.protocolA;
    frame_.reserve(8);
    reset();
}

void FrameAssembler::reset() {
    slots_.assign(1, Contact{});
    currentSlot_ = 0;
    btnTouch_ = false;
    tools_ = 0;
    pendingA_ = Contact{};
    packetA_.clear();
    frame_.clear();
}

void FrameAssembler::applyAxis(Contact& c, int code, std::int32_t value) {
    switch (code) {
    case ABS_MT_TRACKING_ID:
        c.trackingId = value;
        break;
    case ABS_MT_POSITION_X:
        c.x = value;
        c.hasX = true;
        break;
    case ABS_MT_POSITION_Y:
        c.y = value;
        c.hasY = true;
        break;
    case ABS_MT_PRESSURE:
        c.pressure = value;
        break;
    case ABS_MT_TOUCH_MAJOR:
        c.touchMajor = value;
        break;
    case ABS_MT_TOUCH_MINOR:
        c.touchMinor = value;
        break;
    case ABS_MT_DISTANCE:
        c.distance = value;
        break;
    case ABS_MT_TOOL_TYPE:
        c.toolType = value;
        break;
    default:
        break;
    }
}

bool FrameAssembler::feed(const InputEvent& e) {
    switch (e.type) {
    case EV_ABS:
        if (e.code == ABS_MT_SLOT) {
            if (protocolA_) return false;
            if (e.value < 0 || e.value >= maxSlots) {
                currentSlot_ = -1;
            } else {
                currentSlot_ = e.value;
                if (slots_.size() <= std::size_t(currentSlot_)) slots_.resize(currentSlot_ + 1);
            }
        } else if (e.code > ABS_MT_SLOT && e.code <= ABS_MAX) {
            if (protocolA_) {
                applyAxis(pendingA_, e.code, e.value);
            } else if (currentSlot_ >= 0) {
                applyAxis(slots_[currentSlot_], e.code, e.value);
            }
        }
        return false;
    case EV_KEY: {
        bool down = e.value != 0;
        int bit = -1;
        switch (e.code) {
        case BTN_TOUCH:
            btnTouch_ = down;
            return false;
        case BTN_TOOL_FINGER:
            bit = 0;
            break;
        case BTN_TOOL_DOUBLETAP:
            bit = 1;
            break;
        case BTN_TOOL_TRIPLETAP:
            bit = 2;
            break;
        case BTN_TOOL_QUADTAP:
            bit = 3;
            break;
        case BTN_TOOL_QUINTTAP:
            bit = 4;
            break;
        default:
            return false;
        }
        if (down) {
            tools_ |= std::uint8_t(1u << bit);
        } else {
            tools_ &= std::uint8_t(~(1u << bit));
        }
        return false;
    }
    case EV_SYN:
        switch (e.code) {
        case SYN_MT_REPORT:
            if (!protocolA_) {
                // A slot-less stream after all: from now on contacts come as lists.
                protocolA_ = true;
                pendingA_ = slots_[0];
                slots_.assign(1, Contact{});
            }
            if (packetA_.size() < std::size_t(maxSlots) && pendingA_.hasX && pendingA_.hasY) {
                packetA_.push_back(pendingA_);
            }
            pendingA_ = Contact{};
            return false;
        case SYN_DROPPED:
            // Events were lost. What follows up to the next SYN_REPORT brings the state up
            // to date (libevdev's resync, which recorders write out too), so that report gives
            // the one frame of the resynced state. A protocol A packet is complete in itself:
            // the partial one is dropped.
            pendingA_ = Contact{};
            packetA_.clear();
            return false;
        case SYN_REPORT:
            if (protocolA_) {
                buildFrame(packetA_, false, e.time);
                packetA_.clear();
                pendingA_ = Contact{};
            } else {
                buildFrame(slots_, true, e.time);
            }
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

int FrameAssembler::announcedFingers() const {
    for (int bit = 4; bit >= 0; --bit) {
        if (tools_ & (1u << bit)) return bit + 1;
    }
    return 0;
}

bool FrameAssembler::touches(const Contact& c) const {
    if (hasDistance_ && c.distance != 0) return false;
    if (c.toolType == MT_TOOL_PALM) return false;
    return true;
}

void FrameAssembler::buildFrame(const std::vector<Contact>& contacts, bool fromSlots, double time) {
    frame_.clear();
    frameTime_ = time;
    if (hasBtnTouch_ && !btnTouch_) return;

    int tracked = 0;  // contacts the device knows about, touching or not
    double sumX = 0, sumY = 0;
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        // A slot is in use while it holds a tracking id; a protocol A contact by being listed.
        if (fromSlots && c.trackingId < 0) continue;
        ++tracked;
        if (!touches(c)) continue;
        MTFinger f;
        f.trackingId = c.trackingId;
        f.slot = fromSlots ? std::int32_t(i) : -1;
        f.pressure = float(c.pressure);
        f.touchMajor = float(c.touchMajor);
        f.touchMinor = float(c.touchMinor);
        double nx = (double(c.x) - xMin_) / xSpan_;
        double ny = 1.0 - (double(c.y) - yMin_) / ySpan_;
        f.x = float(nx);
        f.y = float(ny);
        sumX += nx;
        sumY += ny;
        frame_.push_back(f);
    }
    if (frame_.empty()) return;

    // Fingers the device announces but cannot track stand in at the centroid.
    int missing = announcedFingers() - tracked;
    if (missing <= 0) return;
    double n = double(frame_.size());
    MTFinger extra;
    extra.x = float(sumX / n);
    extra.y = float(sumY / n);
    for (int k = 0; k < missing; ++k) frame_.push_back(extra);
}

}  // namespace trellick::input
