#include "settings/Diagnostics.h"

namespace trellick {

Diagnostics::Diagnostics() {
    swipeEventsSeen.setWillChange(&willChange);
    actionsTriggered.setWillChange(&willChange);
    lastDeltaX.setWillChange(&willChange);
    lastEventAt.setWillChange(&willChange);
    mruNames.setWillChange(&willChange);
    mruWindowTitles.setWillChange(&willChange);
    multitouchDevicesActive.setWillChange(&willChange);
    currentFingerCount.setWillChange(&willChange);
    fingerStride.setWillChange(&willChange);
    lastFingerSpread.setWillChange(&willChange);
    spreadRejects.setWillChange(&willChange);
    palmRejects.setWillChange(&willChange);
    thumbRejects.setWillChange(&willChange);
    accessibilityTrusted.setWillChange(&willChange);
    touchpadsInaccessible.setWillChange(&willChange);
}

}  // namespace trellick
