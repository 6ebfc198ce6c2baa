#include "gesture/Haptics.h"

namespace trellick {

void Haptics::selectionTick() {
    double now = clock_->now();
    if (now - lastTick_ < selectionInterval) return;
    lastTick_ = now;
    if (performer_) performer_->perform(HapticPattern::alignment, HapticTime::drawCompleted);
}

void Haptics::switchTick() {
    lastTick_ = clock_->now();
    if (performer_) performer_->perform(HapticPattern::levelChange, HapticTime::now);
}

}  // namespace trellick
