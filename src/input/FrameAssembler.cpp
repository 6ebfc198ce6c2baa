#include "input/FrameAssembler.h"

#include <linux/input.h>

#include <algorithm>
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
    rules_ = PalmRules::forDevice(device);
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
    tracks_.clear();
    for (auto& e : ended_) e = Ended{};
    endedNext_ = 0;
    palmsAway_ = 0;
    lastAnnounced_ = 0;
    lastRejectedA_ = 0;
    frame_.clear();
    rejected_.clear();
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
    case ABS_MT_WIDTH_MAJOR:
        c.widthMajor = value;
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
        feedAbs(e);
        return false;
    case EV_KEY:
        feedKey(e);
        return false;
    case EV_SYN:
        return feedSyn(e);
    default:
        return false;
    }
}

void FrameAssembler::feedAbs(const InputEvent& e) {
    if (e.code == ABS_MT_SLOT) {
        if (protocolA_) return;
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
}

void FrameAssembler::feedKey(const InputEvent& e) {
    bool down = e.value != 0;
    int bit = -1;
    switch (e.code) {
    case BTN_TOUCH:
        btnTouch_ = down;
        return;
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
        return;
    }
    if (down) {
        tools_ |= std::uint8_t(1u << bit);
    } else {
        tools_ &= std::uint8_t(~(1u << bit));
    }
}

bool FrameAssembler::feedSyn(const InputEvent& e) {
    switch (e.code) {
    case SYN_MT_REPORT:
        if (!protocolA_) {
            // A slot-less stream after all: from now on contacts come as lists.
            protocolA_ = true;
            pendingA_ = slots_[0];
            slots_.assign(1, Contact{});
            tracks_.clear();
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
}

int FrameAssembler::announcedFingers() const {
    for (int bit = 4; bit >= 0; --bit) {
        if (tools_ & (1u << bit)) return bit + 1;
    }
    return 0;
}

bool FrameAssembler::touches(const Contact& c) const {
    return !(hasDistance_ && c.distance != 0);
}

double FrameAssembler::distance2(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const {
    double dx = double(x1) - double(x0), dy = (double(y1) - double(y0)) * rules_.yScale;
    return dx * dx + dy * dy;
}

std::optional<PalmEvidence> FrameAssembler::sizeOrPressureSaysPalm(const Contact& c) const {
    if (!rules_.perContact) return std::nullopt;
    if (c.touchMajor >= rules_.touchMajor || c.touchMinor >= rules_.touchMinor) return PalmEvidence::size;
    if (c.pressure >= rules_.pressure) return PalmEvidence::pressure;
    return std::nullopt;
}

bool FrameAssembler::pressedEnough(const Contact& c, bool landed) const {
    // Below the device's touch threshold a contact is a finger hovering or brushing the pad;
    // once down it lifts only below the lower threshold, so it does not flicker at the edge.
    double pressure = landed ? rules_.pressureUp : rules_.pressureDown;
    double size = landed ? rules_.sizeUp : rules_.sizeDown;
    return c.pressure >= pressure && c.touchMajor >= size;
}

void FrameAssembler::markPalm(Track& t, PalmEvidence why) {
    if (t.palm) return;
    t.palm = true;
    t.evidence = why;
}

void FrameAssembler::reject(const Contact& c, std::int32_t slot, PalmEvidence why, bool thumb, bool first) {
    RejectedContact r;
    r.trackingId = c.trackingId;
    r.slot = slot;
    r.x = float((double(c.x) - xMin_) / xSpan_);
    r.y = float(1.0 - (double(c.y) - yMin_) / ySpan_);
    r.evidence = why;
    r.thumb = thumb;
    r.first = first;
    rejected_.push_back(r);
}

void FrameAssembler::land(Track& t, std::size_t slot, const Contact& c, double time) {
    t.landed = true;
    t.landTime = time;
    t.landX = c.x;
    t.landY = c.y;
    t.stillX = c.x, t.stillY = c.y, t.stillSince = time;
    if (!rules_.perContact) return;

    // Does it continue a contact that ended close by a moment ago?
    Ended* back = nullptr;
    double nearest = rules_.flickerRadius * rules_.flickerRadius;
    for (auto& e : ended_) {
        if (time - e.time > palm::flickerGap) continue;
        double d = distance2(c.x, c.y, e.x, e.y);
        if (d <= nearest) {
            nearest = d;
            back = &e;
        }
    }
    if (back) {
        t.returns = back->returns + 1;
        if (back->palm) {
            markPalm(t, PalmEvidence::flicker);
            palmsAway_ = std::max(0, palmsAway_ - 1);  // the palm is back in a slot
        } else if (t.returns >= palm::flickerReturns) {
            markPalm(t, PalmEvidence::flicker);
        }
        back->time = -1e300;  // one return each
    }

    t.thumbZone = c.y > rules_.lowerEdge;
    t.atEdge = t.thumbZone || c.x < rules_.leftEdge || c.x > rules_.rightEdge;
    t.resting = t.atEdge;
    t.restX = c.x;
    t.restY = c.y;
    if (!t.resting) return;
    // Where the others stand now: their movement counts from here.
    for (std::size_t j = 0; j < slots_.size() && t.anchorCount < int(std::size(t.anchors)); ++j) {
        const Contact& o = slots_[j];
        if (j == slot || o.trackingId < 0 || !touches(o)) continue;
        t.anchors[t.anchorCount++] = {std::int32_t(j), o.trackingId, o.x, o.y};
    }
}

void FrameAssembler::end(Track& t, double time) {
    if (!t.landed) return;
    bool palm = t.palm || t.kernelPalm;
    if (palm) {
        // The tool count may still include it until the device notices it is gone.
        ++palmsAway_;
        palmsAwayUntil_ = time + palm::flickerGap;
    }
    if (!rules_.perContact) return;
    int returns = time - t.landTime < palm::flickerLife ? t.returns : 0;
    ended_[endedNext_] = {time, t.lastX, t.lastY, returns, palm};
    endedNext_ = (endedNext_ + 1) % palm::endedMemory;
}

int FrameAssembler::restBesideNewcomers(double time) {
    // A contact that had lain on the pad a while when others arrive is a resting hand until it
    // moves: three fingers of a swipe land together, a palm or a pointing finger was there first.
    // Judged by how it lay before this report (pads often shift a contact as others land), from
    // where it is now.
    int n = 0;
    for (auto& t : tracks_) {
        if (!candidate(t) || t.resting || t.landTime == time || time - t.stillBefore < palm::restTime) continue;
        t.resting = true;
        t.restX = t.lastX;
        t.restY = t.lastY;
        t.anchorCount = 0;
        ++n;
    }
    return n;
}

bool FrameAssembler::candidate(const Track& t) {
    return t.touching && !t.palm && !t.kernelPalm;
}

void FrameAssembler::judgeSlots(double time) {
    if (tracks_.size() < slots_.size()) tracks_.resize(slots_.size());
    bool moreAnnounced = announcedFingers() > lastAnnounced_;
    auto [touching, resting] = followContacts(time);
    if (touching == 0) return;
    if (rules_.perContact && (moreAnnounced || arrived_)) resting += restBesideNewcomers(time);
    if (rules_.perContact && touching > 1) compareContacts(time);
    if (resting > 0) judgeResting();
    leaveOut();
}

FrameAssembler::SlotCounts FrameAssembler::followContacts(double time) {
    bool padTouched = !hasBtnTouch_ || btnTouch_;
    SlotCounts n;
    arrived_ = false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Contact& c = slots_[i];
        Track& t = tracks_[i];
        if (t.trackingId != c.trackingId) {
            end(t, time);
            t = Track{};
            t.trackingId = c.trackingId;
        }
        t.touching = false;
        t.leftOut = false;
        if (c.trackingId < 0 || !padTouched || !touches(c) || !pressedEnough(c, t.landed)) continue;
        t.touching = true;
        t.kernelPalm = c.toolType == MT_TOOL_PALM;
        if (!t.landed) {
            land(t, i, c, time);
            arrived_ = true;
        }
        t.stillBefore = t.stillSince;
        t.lastX = c.x;
        t.lastY = c.y;
        if (distance2(c.x, c.y, t.stillX, t.stillY) >= rules_.still * rules_.still) {
            t.stillX = c.x, t.stillY = c.y, t.stillSince = time;
        }
        t.peakPressure = std::max(t.peakPressure, c.pressure);
        t.peakSize = std::max(t.peakSize, c.touchMajor);
        // Readings ramp up as a finger flattens: settled once neither has grown for a while.
        if (c.pressure > palm::settleGrowth * t.settlePressure || c.touchMajor > palm::settleGrowth * t.settleSize) {
            t.settlePressure = c.pressure;
            t.settleSize = c.touchMajor;
            t.settleSince = time;
        }
        if (t.resting && distance2(c.x, c.y, t.restX, t.restY) >= rules_.still * rules_.still) t.resting = false;
        if (auto why = sizeOrPressureSaysPalm(c)) markPalm(t, *why);
        if (t.thumbZone && (c.pressure >= rules_.thumbPressure || c.touchMajor >= rules_.thumbSize)) {
            markPalm(t, PalmEvidence::edge);
        }
        ++n.touching;
        n.resting += t.resting ? 1 : 0;
    }
    return n;
}

void FrameAssembler::compareContacts(double time) {
    if (rules_.comparePressure)
        compareBy(&Track::peakPressure, &Contact::pressure, palm::pressureRatio, PalmEvidence::pressure, time);
    if (rules_.compareSize)
        compareBy(&Track::peakSize, &Contact::touchMajor, palm::sizeRatio, PalmEvidence::size, time);
}

void FrameAssembler::compareBy(std::int32_t Track::*peak, std::int32_t Contact::*now, double ratio, PalmEvidence why,
                               double time) {
    std::int32_t top = 0, second = 0;
    std::size_t topSlot = slots_.size();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Track& t = tracks_[i];
        if (!candidate(t) || time - t.settleSince < palm::settleTime) continue;
        if (t.*peak > top) {
            second = top;
            top = t.*peak;
            topSlot = i;
        } else if (t.*peak > second) {
            second = t.*peak;
        }
    }
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Track& t = tracks_[i];
        if (!candidate(t)) continue;
        std::int32_t reference = i == topSlot ? second : top;
        // A contact travelling with the others is a finger of the swiping hand, however it presses.
        if (reference > 0 && slots_[i].*now >= ratio * reference && !movesWithOthers(i)) markPalm(t, why);
    }
}

bool FrameAssembler::movesWithOthers(std::size_t i) const {
    const Track& t = tracks_[i];
    double tx = double(t.lastX) - t.landX, ty = (double(t.lastY) - t.landY) * rules_.yScale;
    double travel2 = tx * tx + ty * ty;
    if (travel2 < rules_.still * rules_.still) return false;
    for (std::size_t j = 0; j < tracks_.size(); ++j) {
        const Track& o = tracks_[j];
        if (j == i || !candidate(o)) continue;
        double ox = double(o.lastX) - o.landX, oy = (double(o.lastY) - o.landY) * rules_.yScale;
        double other2 = ox * ox + oy * oy;
        if (other2 < rules_.still * rules_.still) continue;
        // Same direction, within about 35 degrees.
        double dot = tx * ox + ty * oy;
        if (dot > 0 && dot * dot >= 0.67 * travel2 * other2) return true;
    }
    return false;
}

void FrameAssembler::judgeResting() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Track& t = tracks_[i];
        if (!candidate(t) || !t.resting) continue;
        for (std::size_t j = 0; j < slots_.size(); ++j) {
            const Track& o = tracks_[j];
            if (j == i || !candidate(o) || o.resting) continue;
            std::int32_t fromX = o.landX, fromY = o.landY;
            for (int k = 0; k < t.anchorCount; ++k) {
                if (t.anchors[k].slot == std::int32_t(j) && t.anchors[k].trackingId == o.trackingId) {
                    fromX = t.anchors[k].x;
                    fromY = t.anchors[k].y;
                }
            }
            if (distance2(fromX, fromY, o.lastX, o.lastY) >= rules_.moved * rules_.moved) {
                markPalm(t, t.atEdge ? PalmEvidence::edge : PalmEvidence::still);
                break;
            }
        }
    }
}

void FrameAssembler::leaveOut() {
    int candidates = 0;
    for (const auto& t : tracks_) candidates += candidate(t) ? 1 : 0;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Track& t = tracks_[i];
        if (!t.touching) continue;
        const Contact& c = slots_[i];
        std::int32_t slot = std::int32_t(i);
        if (t.kernelPalm || t.palm) {
            PalmEvidence why = t.kernelPalm ? PalmEvidence::kernel : t.evidence;
            reject(c, slot, why, why == PalmEvidence::edge && t.thumbZone, !t.counted);
            t.counted = true;
            t.leftOut = true;
        } else if (t.resting && candidates > 1) {
            // Alone it is a finger like any other: one contact never makes a gesture.
            reject(c, slot, PalmEvidence::resting, t.thumbZone, false);
            t.leftOut = true;
        }
    }
}

void FrameAssembler::buildFrame(const std::vector<Contact>& contacts, bool fromSlots, double time) {
    frame_.clear();
    rejected_.clear();
    frameTime_ = time;
    if (fromSlots) judgeSlots(time);  // also while BTN_TOUCH is up: contacts still start and end
    int announced = followAnnounced(time);
    if (hasBtnTouch_ && !btnTouch_) {
        lastRejectedA_ = 0;
        return;
    }

    int tracked = 0;  // contacts the device knows about, touching or not, palms included
    std::size_t rejectedA = 0;
    double sumX = 0, sumY = 0;
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        // A slot is in use while it holds a tracking id; a protocol A contact by being listed.
        if (fromSlots && c.trackingId < 0) continue;
        ++tracked;
        if (!touches(c)) continue;
        if (fromSlots) {
            if (!tracks_[i].touching || tracks_[i].leftOut) continue;
        } else {
            auto why = c.toolType == MT_TOOL_PALM ? std::optional(PalmEvidence::kernel) : sizeOrPressureSaysPalm(c);
            if (why) {
                // No identities: a contact counts as new when the packet has more palms than the last.
                reject(c, -1, *why, false, rejectedA >= lastRejectedA_);
                ++rejectedA;
                continue;
            }
        }
        TouchContact f;
        f.trackingId = c.trackingId;
        f.slot = fromSlots ? std::int32_t(i) : -1;
        f.pressure = float(c.pressure);
        f.touchMajor = float(c.touchMajor);
        f.touchMinor = float(c.touchMinor);
        f.padWidthMm = float(rules_.widthMm);
        f.padHeightMm = float(rules_.heightMm);
        double nx = (double(c.x) - xMin_) / xSpan_;
        double ny = 1.0 - (double(c.y) - yMin_) / ySpan_;
        f.x = float(nx);
        f.y = float(ny);
        sumX += nx;
        sumY += ny;
        frame_.push_back(f);
    }
    if (!fromSlots) lastRejectedA_ = rejectedA;
    if (frame_.empty()) return;

    // Fingers the device announces but cannot track stand in at the centroid; palms that
    // flickered out of their slot are still in the announced count.
    int missing = announced - tracked - palmsAway_;
    if (missing > 0) addStandIns(missing, sumX, sumY);
}

int FrameAssembler::followAnnounced(double time) {
    int announced = announcedFingers();
    // A smaller tool count accounts for palms that had left their slots.
    if (announced < lastAnnounced_) palmsAway_ = std::max(0, palmsAway_ - (lastAnnounced_ - announced));
    lastAnnounced_ = announced;
    if (time > palmsAwayUntil_) palmsAway_ = 0;
    return announced;
}

void FrameAssembler::addStandIns(int missing, double sumX, double sumY) {
    double n = double(frame_.size());
    TouchContact extra;
    extra.padWidthMm = float(rules_.widthMm);
    extra.padHeightMm = float(rules_.heightMm);
    extra.x = float(sumX / n);
    extra.y = float(sumY / n);
    for (int k = 0; k < missing; ++k) frame_.push_back(extra);
}

}  // namespace trellick::input
