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

QString modeLabel(SwitchMode mode, Granularity g) {
    const bool window = g == Granularity::window;
    if (mode == SwitchMode::directionalMRU) return window ? "Directional window list" : "Directional app list";
    return window ? "Toggle last window only" : "Toggle last app only";
}

QString modeDescription(SwitchMode mode, Granularity g) {
    const QString noun = g == Granularity::window ? "window" : "app";
    if (mode == SwitchMode::directionalMRU)
        return "Shows an Alt-Tab-style switcher: hold three fingers down and slide — the panel appears and the "
               "selection moves through the recent-" +
               noun +
               " list as you go (slide further to move further). Lift your fingers to switch to the highlighted " +
               noun + ".";
    return "A swipe in either direction switches to the previously used " + noun + " — like a single Alt-Tab press.";
}

QString granularityDescription(Granularity g) {
    if (g == Granularity::window)
        return "Switches between individual windows, including separate windows of the same app. Requires window "
               "control from your window manager. (Tabs inside a single window aren't separate windows.)";
    return "Switches between applications, like Alt-Tab. Two windows of the same app count as one.";
}

}  // namespace

void SettingsView::buildGeneral() {
    SettingsStore& s = *deps_.settings;
    QVBoxLayout* page = addPage(pages_, rawValue(Tab::general));
    page->addWidget(buildSwitchingCard());

    auto* between = new SectionCard("Switch between");
    auto* granularity = new SegmentedControl("granularity", "Granularity", {"Windows", "Applications"});
    subs_.push_back(bindSegments(granularity, s.granularity, kAllGranularities));
    QLabel* granularityText = descriptionLabel(QString());
    granularityText->setObjectName("granularity.description");
    StatusRow control = makeStatusRow("windowControl", "Window control", QString());
    between->body()->addWidget(granularity);
    between->body()->addWidget(granularityText);
    between->body()->addWidget(control.row);
    page->addWidget(between);

    auto* mode = new SectionCard("Mode");
    auto* modeGroup = new QButtonGroup(mode);
    RadioOption* modeButtons[2];
    for (std::size_t i = 0; i < 2; ++i) {
        modeButtons[i] = new RadioOption;
        modeButtons[i]->setObjectName(QString("mode.") + trellick::rawValue(kAllSwitchModes[i]));
        modeGroup->addButton(modeButtons[i], static_cast<int>(i));
        mode->body()->addWidget(modeButtons[i]);
    }
    mode->card()->setAccessibleName("Mode");
    mode->body()->setSpacing(8);
    QLabel* modeText = descriptionLabel(QString());
    modeText->setObjectName("mode.description");
    mode->body()->addWidget(modeText);
    page->addWidget(mode);
    page->addStretch(1);

    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int i) { deps_.settings->mode.set(kAllSwitchModes[i]); });
    auto refresh = [this, granularityText, control, modeButtons, modeText] {
        const Granularity g = deps_.settings->granularity.get();
        const SwitchMode m = deps_.settings->mode.get();
        granularityText->setText(granularityDescription(g));
        control.row->setVisible(g == Granularity::window);
        for (std::size_t i = 0; i < 2; ++i) {
            modeButtons[i]->setText(modeLabel(kAllSwitchModes[i], g));
            modeButtons[i]->updateGeometry();
            const QSignalBlocker block(modeButtons[i]);
            modeButtons[i]->setChecked(kAllSwitchModes[i] == m);
        }
        modeText->setText(modeDescription(m, g));
    };
    subs_.push_back(s.granularity.subscribe([refresh](const Granularity&) { refresh(); }));
    subs_.push_back(s.mode.subscribe([refresh](const SwitchMode&) { refresh(); }));
    subs_.push_back(deps_.diagnostics->windowControlAvailable.subscribe([control](const bool& available) {
        control.dot->setColour(available ? statusGreen() : statusOrange());
        control.state->setText(available ? "Available" : "Unavailable");
    }));
}

QWidget* SettingsView::buildSwitchingCard() {
    SettingsStore& s = *deps_.settings;
    auto* switching = new SectionCard("Switching");
    auto* enabled = new ToggleRow("enabled", "Enable swipe switching");
    auto* login = new ToggleRow("launchAtLogin", "Launch at login");
    subs_.push_back(bindToggle(enabled->toggle(), s.enabled));
    subs_.push_back(bindToggle(login->toggle(), s.launchAtLogin));
    switching->body()->addWidget(enabled);
    switching->body()->addWidget(login);
    StatusRow touchpad = makeStatusRow("touchpadAccess", "Touchpad access", "Grant…");
    switching->body()->addWidget(touchpad.row);
    manualGrant_ = new ManualGrantBox;
    manualGrant_->hide();
    switching->body()->addWidget(manualGrant_);
    connect(touchpad.button, &QPushButton::clicked, this, [this] { grantTouchpadAccess(); });
    subs_.push_back(deps_.diagnostics->touchpadsInaccessible.subscribe([this, touchpad](const std::int64_t& refused) {
        const bool granted = refused == 0;
        touchpad.dot->setColour(granted ? statusGreen() : statusOrange());
        touchpad.state->setText("Granted");
        touchpad.state->setVisible(granted);
        touchpad.button->setVisible(!granted);
        if (granted) manualGrant_->hide();
    }));
    return switching;
}

}  // namespace trellick
