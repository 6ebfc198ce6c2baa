#include "input/PalmRules.h"

#include <linux/input.h>

#include <cmath>

namespace trellick::input {
namespace {

// Contact sizes, in millimetres. An adult fingertip's contact stays under about 20 mm long and
// 15 mm wide even pressed flat; a thumb lying on its side or the heel of a palm is larger.
constexpr double touchMajorMm = 22;
constexpr double touchMinorMm = 16;

// Edge zones. Palms rest on the left and right edges, the pointing hand's thumb on the lower
// one. The upper edge borders the keyboard and is left alone: fingers swipe along it.
constexpr double sideEdgeMm = 8, sideEdgeFraction = 0.08;
constexpr double lowerEdgeMm = 10, lowerEdgeFraction = 0.15;
// A resting contact jitters by a millimetre or so; a finger taking part in a swipe has moved
// farther than this within the first tens of milliseconds.
constexpr double stillMm = 3;
// The others must have really moved (a scroll or swipe under way) while it stayed put.
constexpr double movedMm = 8;
// A palm's centre wanders as it breaks up and comes back in pieces.
constexpr double flickerRadiusMm = 15;
// Devices without a known size: taken as this wide.
constexpr double assumedWidthMm = 100;
// Touchpads people use lie between these sizes: the smallest netbook pads are about
// 60 x 35 mm, the largest external ones about 300 x 200 mm. A resolution that makes a pad
// outside them is wrong (samus-class firmware declares 20 units/mm for a 100 mm pad).
constexpr double minWidthMm = 60, maxWidthMm = 300, minHeightMm = 35, maxHeightMm = 200;

bool believable(double w, double h) {
    return w >= minWidthMm && w <= maxWidthMm && h >= minHeightMm && h <= maxHeightMm;
}

double span(const AbsAxis& a) {
    return double(a.maximum) - double(a.minimum);
}

// The palm limit of a size axis in its own units: only where the axis declares its own
// resolution, so the limit is millimetres.
double sizeLimit(const DeviceInfo& device, int code, double mm) {
    if (!device.hasAbs(code)) return PalmRules::none;
    const AbsAxis& a = device.abs[code];
    if (!a.known || a.resolution <= 0) return PalmRules::none;
    return a.minimum + mm * a.resolution;
}

double orNone(const std::optional<int>& v) {
    return v ? double(*v) : PalmRules::none;
}

}  // namespace

const char* describe(PalmEvidence evidence) {
    switch (evidence) {
    case PalmEvidence::kernel:
        return "marked as a palm by the touchpad";
    case PalmEvidence::size:
        return "too large for a fingertip";
    case PalmEvidence::pressure:
        return "presses too hard for a finger";
    case PalmEvidence::resting:
        return "resting beside other contacts";
    case PalmEvidence::still:
        return "lay still while the others moved";
    case PalmEvidence::edge:
        return "stayed still at the edge while the others moved";
    case PalmEvidence::flicker:
        return "keeps vanishing and coming back";
    }
    return "";
}

std::optional<PadSize> physicalSize(const DeviceInfo& device) {
    auto x = device.xAxis(), y = device.yAxis();
    if (!x || !y || span(*x) <= 0 || span(*y) <= 0) return std::nullopt;
    const DeviceQuirks& q = device.quirks;
    if (q.sizeHintMm && q.sizeHintMm->first > 0 && q.sizeHintMm->second > 0) {
        return PadSize{double(q.sizeHintMm->first), double(q.sizeHintMm->second), "size hint"};
    }
    if (x->resolution > 0 && y->resolution > 0) {
        double w = span(*x) / x->resolution, h = span(*y) / y->resolution;
        if (believable(w, h)) return PadSize{w, h, "resolution"};
    }
    if (q.resolutionHint && q.resolutionHint->first > 0 && q.resolutionHint->second > 0) {
        double w = span(*x) / q.resolutionHint->first, h = span(*y) / q.resolutionHint->second;
        if (believable(w, h)) return PadSize{w, h, "resolution hint"};
    }
    return std::nullopt;
}

std::vector<std::string> deviceKnowledge(const DeviceInfo& device) {
    std::vector<std::string> lines;
    auto mm = [](double v) { return std::to_string(std::lround(v)); };
    if (auto size = physicalSize(device)) {
        lines.push_back("size " + mm(size->widthMm) + " x " + mm(size->heightMm) + " mm from the " + size->source);
    } else {
        lines.emplace_back("size unknown: distances in widths of the pad, taken as " + mm(assumedWidthMm) + " mm wide");
    }
    for (auto& q : describe(device.quirks)) lines.push_back("quirk " + q);
    return lines;
}

PalmRules PalmRules::forDevice(const DeviceInfo& device) {
    PalmRules r;
    r.perContact = !device.props.test(INPUT_PROP_SEMI_MT);
    if (!r.perContact) return r;
    const DeviceQuirks& q = device.quirks;

    // Size: the quirk's threshold, else millimetres on an axis with its own resolution, else
    // only beside the other contacts.
    r.touchMajor =
        q.palmSizeThreshold ? double(*q.palmSizeThreshold) : sizeLimit(device, ABS_MT_TOUCH_MAJOR, touchMajorMm);
    r.touchMinor = sizeLimit(device, ABS_MT_TOUCH_MINOR, touchMinorMm);
    r.compareSize = device.hasAbs(ABS_MT_TOUCH_MAJOR);
    r.thumbSize = orNone(q.thumbSizeThreshold);
    if (q.touchSizeRange) r.sizeDown = q.touchSizeRange->first, r.sizeUp = q.touchSizeRange->second;

    // Pressure likewise; a pressure range of 0:0 in the quirks says the readings mean nothing.
    bool pressureUsable = !(q.pressureRange && q.pressureRange->first == 0 && q.pressureRange->second == 0);
    if (device.hasAbs(ABS_MT_PRESSURE) && pressureUsable) {
        r.comparePressure = true;
        r.pressure = orNone(q.palmPressureThreshold);
        r.thumbPressure = orNone(q.thumbPressureThreshold);
        if (q.pressureRange) r.pressureDown = q.pressureRange->first, r.pressureUp = q.pressureRange->second;
    }

    // The assembler is only built for devices with both position ranges.
    AbsAxis x = device.xAxis().value_or(AbsAxis{true, 0, 1, 0});
    AbsAxis y = device.yAxis().value_or(AbsAxis{true, 0, 1, 0});
    double width = span(x), height = span(y);
    auto size = physicalSize(device);
    // Units per millimetre along each axis, measured or assumed.
    double xPerMm = size ? width / size->widthMm : width / assumedWidthMm;
    double yPerMm = size ? height / size->heightMm : 0;
    if (size) {
        r.widthMm = size->widthMm, r.heightMm = size->heightMm;
        r.sizeSource = size->source;
        r.yScale = xPerMm / yPerMm;
    }

    double side = size ? sideEdgeMm * xPerMm : sideEdgeFraction * width;
    double lower = size ? lowerEdgeMm * yPerMm : lowerEdgeFraction * height;
    r.leftEdge = x.minimum + side;
    r.rightEdge = x.maximum - side;
    r.lowerEdge = y.maximum - lower;
    r.still = stillMm * xPerMm;
    r.moved = movedMm * xPerMm;
    r.flickerRadius = flickerRadiusMm * xPerMm;
    return r;
}

}  // namespace trellick::input
