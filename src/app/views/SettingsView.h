#pragma once
// The content of the settings window (720 × 520): a sidebar of five tabs and a scrolling
// detail pane of section cards. Every control is bound both ways to the settings store: a
// change made here is stored (and written through) at once, and a change made anywhere else,
// the preferences file included, shows at once. The Diagnostics tab and the permission rows
// follow the diagnostics object live.

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/views/FavouritesTab.h"
#include "common/Observable.h"
#include "common/Result.h"
#include "overlay/OverlayDesktop.h"
#include "settings/Diagnostics.h"
#include "settings/SettingsStore.h"
#include "settings/TouchpadAccess.h"

class QButtonGroup;
class QStackedWidget;

namespace trellick {

// Turns the engine's monotonic frame time into a wall-clock time at display.
struct DisplayClock {
    std::function<double()> monotonicNow;  // seconds on the touch frames' clock (CLOCK_MONOTONIC)
    std::function<QDateTime()> wallNow;
    static DisplayClock system();
};

// A time of day in the locale's medium time style (hours, minutes and seconds, no zone).
QString mediumTimeOfDay(const QTime& time, const QLocale& locale);

class SettingsView : public QWidget {
public:
    using Tab = SettingsTab;
    static constexpr Tab kAllTabs[] = {Tab::general, Tab::gestures, Tab::overlay, Tab::favourites, Tab::diagnostics};
    // The sidebar title.
    static QString rawValue(Tab tab);

    struct Dependencies {
        std::shared_ptr<SettingsStore> settings;
        std::shared_ptr<Diagnostics> diagnostics;
        FavouritesServices favourites;
        // Light or dark and the accent colour; without one the desktop's palette stays.
        std::shared_ptr<AppearanceSource> appearance;
        // "Grant…" in the Touchpad access row.
        GrantHandler onGrantTouchpadAccess;
        // "Allow" in Diagnostics, under KWin when it does not offer its window management to
        // this program (no desktop entry names it); reports what became of it. No row when empty.
        std::function<void(std::function<void(Result<>)> report)> onAllowWindowManagement = {};
        DisplayClock clock = DisplayClock::system();
    };

    // Builds every tab at once; the window that hosts it keeps it for the life of the process,
    // so the selected tab persists between openings. A pending `requestedTab` is honoured now,
    // whenever the view is shown, and whenever it changes.
    explicit SettingsView(Dependencies deps, QWidget* parent = nullptr);
    ~SettingsView() override;

    void selectTab(Tab tab);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildSidebar();
    void buildGeneral();
    QWidget* buildSwitchingCard();
    void buildGestures();
    void buildOverlay();
    void buildDiagnostics();
    QWidget* buildTouchpadStats();
    QWidget* buildActivityStats();
    QWidget* buildWindowManagementAccess();
    // The recently used apps or windows, as the granularity chooses.
    QWidget* buildRecentList();
    void honourRequestedTab();
    void grantTouchpadAccess();

    Dependencies deps_;
    QButtonGroup* tabButtons_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QWidget* manualGrant_ = nullptr;
    std::vector<Subscription> subs_;
};

}  // namespace trellick
