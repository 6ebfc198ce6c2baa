#include "gesture/Haptics.h"

namespace trellick {

void Haptics::selectionTick() {
    mainThread_.check();
    double now = clock_->now();
    if (now - lastTick_ < selectionInterval) return;
    lastTick_ = now;
    if (performer_) performer_->perform(HapticPattern::alignment);
}

void Haptics::switchTick() {
    mainThread_.check();
    lastTick_ = clock_->now();
    if (performer_) performer_->perform(HapticPattern::levelChange);
}

}  // namespace trellick
