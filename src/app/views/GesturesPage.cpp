#include "app/views/SettingsView.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <ctime>

#include "app/views/Theme.h"
#include "app/widgets/Widgets.h"
#include "overlay/Symbols.h"

#include "app/views/SettingsParts.h"

namespace trellick {

using namespace ui;
using namespace pages;

namespace {

QWidget* feelCard(SettingsStore& s, std::vector<Subscription>& subs) {
    auto twoDecimals = [](double v) { return fixed("%.2f", v); };
    auto* feel = new SectionCard("Feel");
    feel->body()->setSpacing(16);
    const std::pair<SliderRow::Params, Setting<double>*> feelRows[] = {
        {{"sensitivity", "Sensitivity", 0, 1, twoDecimals, "Low", "High",
          "How far you swipe to move one entry. Higher = a shorter swipe per step."},
         &s.sensitivity},
        {{"acceleration", "Flick acceleration", 0, 1, twoDecimals, "Off", "More",
          "How much a fast flick jumps ahead, so you can cross a long list quickly."},
         &s.acceleration},
        {{"cancelDistance", "Down-swipe to cancel", 0, 1, twoDecimals, "Short", "Long",
          "How far you swipe down to cancel a switch. Longer = harder to trigger by accident."},
         &s.cancelDistance},
    };
    for (const auto& [params, setting] : feelRows) {
        auto* row = new SliderRow(params);
        subs.push_back(bindSlider(row, *setting));
        feel->body()->addWidget(row);
    }
    return feel;
}

QWidget* quickFlickCard(SettingsStore& s, std::vector<Subscription>& subs) {
    auto* quick = new SectionCard("Quick flick");
    quick->body()->setSpacing(16);
    quick->body()->addWidget(
        descriptionLabel("A quick flick switches straight to your previous app; hold the swipe a "
                         "moment to open the picker and choose."));
    const std::pair<SliderRow::Params, Setting<double>*> quickRows[] = {
        {{"flickRevealDelay", "Reveal delay", 0, 0.3, milliseconds, "", "",
          "How long after the swipe starts before the picker appears. Lift before this — or while still flicking "
          "fast — and it jumps straight to the previous app."},
         &s.flickRevealDelay},
        {{"flickVelocity", "Flick speed threshold", 0.5, 6.0, [](double v) { return fixed("%.1f", v); }, "", "",
          "Finger speed below which the gesture reads as a deliberate drag (opens the picker) rather than a flick "
          "still in progress. Higher = more swipes treated as flicks."},
         &s.flickVelocity},
    };
    for (const auto& [params, setting] : quickRows) {
        auto* row = new SliderRow(params);
        subs.push_back(bindSlider(row, *setting));
        quick->body()->addWidget(row);
    }
    return quick;
}

QWidget* touchpadNote() {
    auto* touchpad = new QWidget;
    auto* t = new QVBoxLayout(touchpad);
    t->setContentsMargins(0, 0, 0, 0);
    t->setSpacing(8);
    QLabel* header = sectionHeaderLabel("Touchpad");
    header->setContentsMargins(4, 0, 0, 0);
    t->addWidget(header);
    t->addWidget(new NoteBox(
        "If a 3-finger swipe also triggers a desktop gesture (such as switching workspaces), turn that gesture off in "
        "your desktop's touchpad settings. Trellick reads raw touch data directly, so it works regardless of that "
        "setting — but it won't *prevent* your desktop from also acting on the gesture."));
    return touchpad;
}

}  // namespace

void SettingsView::buildGestures() {
    SettingsStore& s = *deps_.settings;
    QVBoxLayout* page = addPage(pages_, rawValue(Tab::gestures));

    auto* feedback = new SectionCard("Feedback");
    auto* haptic = new ToggleRow("hapticFeedback", "Haptic feedback");
    subs_.push_back(bindToggle(haptic->toggle(), s.hapticFeedback));
    feedback->body()->addWidget(haptic);
    feedback->body()->addWidget(descriptionLabel(
        "A subtle touchpad tap as the selection moves, and a firmer one when it switches. Haptic touchpads only."));
    page->addWidget(feedback);
    page->addWidget(feelCard(s, subs_));
    page->addWidget(quickFlickCard(s, subs_));

    auto* reset = new QPushButton("Reset to defaults");
    reset->setObjectName("resetGestures");
    reset->setToolTip("Restore all the gesture sliders above (Feel and Quick flick) to their defaults.");
    connect(reset, &QPushButton::clicked, this, [this] { deps_.settings->resetGestureTuning(); });
    auto* resetLine = new QHBoxLayout;
    resetLine->setContentsMargins(0, 0, 0, 0);
    resetLine->addWidget(reset);
    resetLine->addStretch(1);
    page->addLayout(resetLine);

    auto* direction = new SectionCard("Direction");
    auto* invert = new ToggleRow("invertDirection", "Invert swipe direction");
    subs_.push_back(bindToggle(invert->toggle(), s.invertDirection));
    direction->body()->addWidget(invert);
    direction->body()->addWidget(
        descriptionLabel("Flip which physical swipe direction goes toward more recently used apps versus older ones."));
    page->addWidget(direction);
    page->addWidget(touchpadNote());
    page->addStretch(1);
}

}  // namespace trellick
