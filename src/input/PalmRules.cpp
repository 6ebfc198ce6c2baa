#include "input/PalmRules.h"

#include <linux/input.h>

namespace trellick::input {
namespace {

// Contact sizes, in millimetres. An adult fingertip's contact stays under about 20 mm long and
// 15 mm wide even pressed flat; a thumb lying on its side or the heel of a palm is larger. The
// approaching tool (WIDTH_MAJOR) is the whole finger seen from the pad, so its limit is longer.
constexpr double touchMajorMm = 22;
constexpr double touchMinorMm = 16;
constexpr double widthMajorMm = 30;
// Without a resolution a size axis is judged against its range: firmware that scales contact
// size to an arbitrary range sizes it for a whole hand, where a fingertip stays in the lower
// part (the classic Synaptics width scale of 0 to 15 puts fingers at 4 to 6, palms at 10 up).
constexpr double sizeRangeFraction = 0.6;
// Pressure, against the declared range: fingers rarely pass a third of it even when clicking,
// a palm presses near the top (libinput's long-standing default for Synaptics pads is 130 of 255).
constexpr double pressureRangeFraction = 0.6;

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
// Devices without a believable resolution: taken as this wide.
constexpr double assumedWidthMm = 100;

// Units per millimetre, or 0 when the declared resolution is missing or makes no sense for a
// touchpad (narrower than 30 mm or wider than 300 mm).
double unitsPerMm(const AbsAxis& axis) {
    if (axis.resolution <= 0) return 0;
    double mm = (double(axis.maximum) - double(axis.minimum)) / axis.resolution;
    return mm >= 30 && mm <= 300 ? axis.resolution : 0;
}

// The palm limit of a size axis in its own units.
double sizeLimit(const DeviceInfo& device, int code, double mm) {
    if (!device.hasAbs(code)) return PalmRules::none;
    const AbsAxis& a = device.abs[code];
    if (!a.known || a.maximum <= a.minimum) return PalmRules::none;
    if (a.resolution > 0) return a.minimum + mm * a.resolution;
    return a.minimum + sizeRangeFraction * (double(a.maximum) - double(a.minimum));
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
        return "resting at the edge beside other contacts";
    case PalmEvidence::edge:
        return "stayed still at the edge while the others moved";
    case PalmEvidence::flicker:
        return "keeps vanishing and coming back";
    }
    return "";
}

PalmRules PalmRules::forDevice(const DeviceInfo& device) {
    PalmRules r;
    r.perContact = !device.props.test(INPUT_PROP_SEMI_MT);
    if (!r.perContact) return r;

    r.touchMajor = sizeLimit(device, ABS_MT_TOUCH_MAJOR, touchMajorMm);
    r.touchMinor = sizeLimit(device, ABS_MT_TOUCH_MINOR, touchMinorMm);
    r.widthMajor = sizeLimit(device, ABS_MT_WIDTH_MAJOR, widthMajorMm);
    if (device.hasAbs(ABS_MT_PRESSURE)) {
        r.comparePressure = true;
        const AbsAxis& p = device.abs[ABS_MT_PRESSURE];
        if (p.known && p.maximum > p.minimum) {
            r.pressure = p.minimum + pressureRangeFraction * (double(p.maximum) - double(p.minimum));
        }
    }

    // The assembler is only built for devices with both position ranges.
    AbsAxis x = device.xAxis().value_or(AbsAxis{true, 0, 1, 0});
    AbsAxis y = device.yAxis().value_or(AbsAxis{true, 0, 1, 0});
    double width = double(x.maximum) - double(x.minimum);
    double height = double(y.maximum) - double(y.minimum);
    double xRes = unitsPerMm(x), yRes = unitsPerMm(y);
    // x units per millimetre, measured or assumed.
    double perMm = xRes > 0 ? xRes : width / assumedWidthMm;
    if (xRes > 0 && yRes > 0) r.yScale = xRes / yRes;

    double side = xRes > 0 ? sideEdgeMm * xRes : sideEdgeFraction * width;
    double lower = yRes > 0 ? lowerEdgeMm * yRes : lowerEdgeFraction * height;
    r.leftEdge = x.minimum + side;
    r.rightEdge = x.maximum - side;
    r.lowerEdge = y.maximum - lower;
    r.still = stillMm * perMm;
    r.moved = movedMm * perMm;
    r.flickerRadius = flickerRadiusMm * perMm;
    return r;
}

}  // namespace trellick::input
