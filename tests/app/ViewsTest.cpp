// The settings, welcome and about windows' content, offscreen: two-way bindings with
// the settings store, live diagnostics, the favourites tab and the application chooser.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTextDocumentFragment>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "FakeAppearance.h"
#include "app/shell/ShellWindowsQt.h"
#include "app/views/AboutView.h"
#include "app/views/AppChooserDialog.h"
#include "app/views/OnboardingView.h"
#include "app/views/SettingsView.h"
#include "app/views/Style.h"
#include "app/views/Theme.h"
#include "app/widgets/Widgets.h"
#include "platform/desktop/GioDesktopEntries.h"
#include "platform/evdev/TouchpadAccessRule.h"
#include "simulation/SimulatedDesktop.h"
#include "simulation/Simulation.h"

using namespace trellick;

namespace {

// Shows rebuilt rows and deletes the ones they replace, as the event loop would.
void flush() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename W = QWidget>
W* child(const QObject* root, const QString& name) {
    W* w = root->findChild<W*>(name);
    if (!w) ADD_FAILURE() << "no " << name.toStdString();
    return w;
}

QString text(const QObject* root, const QString& name) {
    if (auto* b = root->findChild<QAbstractButton*>(name)) return b->text();
    auto* label = child<QLabel>(root, name);
    return label ? label->text() : QString();
}

class ViewsTest : public ::testing::Test {
protected:
    std::shared_ptr<MemoryPreferencesStore> prefs = std::make_shared<MemoryPreferencesStore>();
    sim::SimulatedLoginItem login;
    std::shared_ptr<SettingsStore> settings = std::make_shared<SettingsStore>(*prefs, login);
    std::shared_ptr<Diagnostics> diagnostics = std::make_shared<Diagnostics>();
    std::shared_ptr<sim::SimulatedWorkspace> apps = std::make_shared<sim::SimulatedWorkspace>();
    std::shared_ptr<Favourites> favourites = std::make_shared<Favourites>(apps);
    std::shared_ptr<FakeAppearance> appearance = std::make_shared<FakeAppearance>();
    std::vector<GrantOutcome> pendingGrant;  // what the next grant request reports
    int grantRequests = 0;

    GrantHandler grantHandler() {
        return [this](std::function<void(GrantOutcome)> report) {
            ++grantRequests;
            for (auto o : pendingGrant) report(o);
        };
    }

    SettingsView::Dependencies settingsDeps() {
        SettingsView::Dependencies d{settings, diagnostics, {favourites, apps, "trellick"}, appearance, grantHandler()};
        d.clock = {[] { return 5000.0; }, [] { return QDateTime(QDate(2024, 5, 6), QTime(15, 4, 5)); }};
        return d;
    }

    std::unique_ptr<OnboardingView> welcome() {
        auto v = std::make_unique<OnboardingView>(
            OnboardingView::Dependencies{settings, diagnostics, appearance, grantHandler(), {}});
        v->show();
        return v;
    }

    std::unique_ptr<SettingsView> settingsView(std::optional<SettingsView::Tab> tab = {}) {
        auto v = std::make_unique<SettingsView>(settingsDeps());
        v->show();
        if (tab) v->selectTab(*tab);
        return v;
    }

    void install(std::initializer_list<std::pair<std::string, std::string>> list) {
        for (auto& [id, name] : list) apps->installedApps[id] = {name, std::nullopt};
    }
    void counts(std::initializer_list<std::pair<const char*, int>> c) {
        PrefObject o;
        for (auto& [id, n] : c) o[id] = PrefValue(n);
        prefs->set(keys::usageCounts, PrefValue(std::move(o)));
    }
    static RunningApp running(int pid, std::optional<std::string> id, std::string name, bool regular = true) {
        return {pid, std::move(id), std::move(name), std::nullopt, regular};
    }
};

TEST_F(ViewsTest, TogglesFollowTheStoreBothWays) {
    auto v = settingsView();
    auto w = welcome();
    const std::tuple<QWidget*, const char*, Setting<bool> SettingsStore::*> toggles[] = {
        {v.get(), "enabled", &SettingsStore::enabled},
        {v.get(), "launchAtLogin", &SettingsStore::launchAtLogin},
        {v.get(), "hapticFeedback", &SettingsStore::hapticFeedback},
        {v.get(), "invertDirection", &SettingsStore::invertDirection},
        {v.get(), "showHUD", &SettingsStore::showHUD},
        {v.get(), "compactPeekSpacing", &SettingsStore::compactPeekSpacing},
        {v.get(), "favouritesEnabled", &SettingsStore::favouritesEnabled},
        {w.get(), "launchAtLogin", &SettingsStore::launchAtLogin}};
    for (auto [window, name, member] : toggles) {
        SCOPED_TRACE(window->objectName().toStdString() + " " + name);
        auto* toggle = child<QAbstractButton>(window, name);
        Setting<bool>& setting = (*settings).*member;
        const bool before = setting.get();
        EXPECT_EQ(toggle->isChecked(), before);
        toggle->click();
        EXPECT_EQ(setting.get(), !before);
        setting.set(before);  // as a change of the preferences file would arrive
        EXPECT_EQ(toggle->isChecked(), before);
    }
    EXPECT_EQ(prefs->object(keys::showHUD), PrefValue(true)) << "written through";
    auto* enabledRow = child(v.get(), "enabled")->parentWidget();
    QTest::mouseClick(enabledRow->findChild<QLabel*>(), Qt::LeftButton);
    EXPECT_FALSE(settings->enabled.get()) << "the label flips its toggle too";
    EXPECT_EQ(login.calls, 4) << "launch at login reaches the login item";
}

TEST_F(ViewsTest, SlidersShowFormattedValuesWriteTheirPositionAndResetTogether) {
    auto v = settingsView();
    struct Case {
        const char* name;
        Setting<double> SettingsStore::*member;
        double stored;
        const char* shown;
        double atStart, atEnd;  // the values at the slider's ends
    };
    const Case cases[] = {
        {"sensitivity", &SettingsStore::sensitivity, 0.667, "0.67", 0.0, 1.0},
        {"acceleration", &SettingsStore::acceleration, 0.08, "0.08", 0.0, 1.0},
        {"cancelDistance", &SettingsStore::cancelDistance, 0.126, "0.13", 0.0, 1.0},
        {"flickRevealDelay", &SettingsStore::flickRevealDelay, 0.1, "100 ms", 0.0, 0.3},
        {"flickVelocity", &SettingsStore::flickVelocity, 2.5, "2.5", 0.5, 6.0},
        {"flickVelocity", &SettingsStore::flickVelocity, 7.24, "7.2", 0.5, 6.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.shown);
        Setting<double>& setting = (*settings).*c.member;
        setting.set(c.stored);
        EXPECT_EQ(text(v.get(), QString(c.name) + ".value"), c.shown);
        EXPECT_DOUBLE_EQ(setting.get(), c.stored) << "showing a value never writes it back";
        child<QSlider>(v.get(), c.name)->setValue(0);
        EXPECT_DOUBLE_EQ(setting.get(), c.atStart);
        child<QSlider>(v.get(), c.name)->setValue(1000);
        EXPECT_DOUBLE_EQ(setting.get(), c.atEnd);
    }
    settings->hapticFeedback.set(false);
    child<QAbstractButton>(v.get(), "resetGestures")->click();  // the five sliders back, nothing else
    for (auto [name, shown] :
         {std::pair{"sensitivity.value", "0.67"}, {"flickRevealDelay.value", "100 ms"}, {"flickVelocity.value", "2.5"}})
        EXPECT_EQ(text(v.get(), name), shown);
    EXPECT_FALSE(child<QAbstractButton>(v.get(), "hapticFeedback")->isChecked());
}

TEST_F(ViewsTest, SliderDragStoresOnceAtRelease) {
    auto v = settingsView();
    auto* slider = child<QSlider>(v.get(), "sensitivity");
    const int writes = prefs->writes();
    slider->setSliderDown(true);
    slider->setValue(250);
    slider->setValue(500);
    EXPECT_EQ(text(v.get(), "sensitivity.value"), "0.50") << "the value follows the drag";
    EXPECT_EQ(prefs->writes(), writes);
    slider->setSliderDown(false);
    EXPECT_DOUBLE_EQ(settings->sensitivity.get(), 0.5);
    EXPECT_EQ(prefs->writes(), writes + 1);
}

// A wheel notch over a slider scrolls the page; only a focused slider takes it as a change. A
// click at the very end of the page's (arrowless) scroll bar jumps there.
TEST_F(ViewsTest, PageScrollsByTheWheelOverAnUnfocusedSliderAndByAClickOnItsBar) {
    auto v = settingsView(SettingsView::Tab::gestures);
    v->resize(720, 520);
    flush();
    auto* slider = child<QSlider>(v.get(), "sensitivity");
    auto* page = child<QScrollArea>(v.get(), "page.Gestures");
    const double stored = settings->sensitivity.get();
    auto notch = [&] {
        const QPointF at(slider->width() / 2.0, slider->height() / 2.0);
        QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &wheel);
    };
    notch();
    EXPECT_DOUBLE_EQ(settings->sensitivity.get(), stored);
    EXPECT_GT(page->verticalScrollBar()->value(), 0) << "the page scrolled";

    QApplication::setActiveWindow(v.get());
    slider->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(slider->hasFocus());
    notch();
    EXPECT_NE(settings->sensitivity.get(), stored);
    QScrollBar* bar = page->verticalScrollBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 2));
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(ViewsTest, GranularityRewordsTheGeneralTab) {
    auto v = settingsView();
    auto* windowControl = child(v.get(), "windowControl");
    EXPECT_TRUE(windowControl->isVisible());
    const QString windows = text(v.get(), "granularity.description");
    EXPECT_EQ(text(v.get(), "mode.directionalMRU"), "Directional window list");

    child<ui::SegmentedControl>(v.get(), "granularity")->segment(1)->click();
    EXPECT_EQ(settings->granularity.get(), Granularity::app);
    EXPECT_FALSE(windowControl->isVisible());
    EXPECT_NE(text(v.get(), "granularity.description"), windows);
    EXPECT_EQ(text(v.get(), "mode.directionalMRU"), "Directional app list");

    const QString directional = text(v.get(), "mode.description");
    child<QAbstractButton>(v.get(), "mode.toggleLastApp")->click();
    EXPECT_EQ(settings->mode.get(), SwitchMode::toggleLastApp);
    EXPECT_NE(text(v.get(), "mode.description"), directional);
    settings->mode.set(SwitchMode::directionalMRU);
    EXPECT_TRUE(child<QAbstractButton>(v.get(), "mode.directionalMRU")->isChecked());

    settings->granularity.set(Granularity::window);
    EXPECT_TRUE(windowControl->isVisible());
    EXPECT_EQ(text(v.get(), "windowControl.state"), "Unavailable");
}

TEST_F(ViewsTest, PermissionRowsFollowDiagnostics) {
    auto v = settingsView();
    diagnostics->windowControlAvailable.set(true);
    EXPECT_EQ(text(v.get(), "windowControl.state"), "Available");
    EXPECT_EQ(child(v.get(), "windowControl")->findChildren<QAbstractButton*>().size(), 0) << "no button";

    auto* grant = child<QAbstractButton>(v.get(), "touchpadAccess.grant");
    auto* manual = child(v.get(), "manualGrant");
    EXPECT_TRUE(child(v.get(), "touchpadAccess.state")->isVisible()) << "nothing refused yet: granted";
    diagnostics->touchpadsInaccessible.set(1);
    EXPECT_TRUE(grant->isVisible());
    grant->click();
    EXPECT_EQ(grantRequests, 1);
    EXPECT_FALSE(manual->isVisible()) << "the helper ran: access shows through diagnostics";
    pendingGrant = {GrantOutcome::cannotRun};
    grant->click();
    EXPECT_TRUE(manual->isVisible());
    EXPECT_TRUE(text(manual, "manualGrant.commands").contains("TAG+=\"uaccess\""));
    child<QAbstractButton>(manual, "manualGrant.copy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(evdev::touchpadAccessRootCommands()));

    diagnostics->touchpadsInaccessible.set(0);
    EXPECT_FALSE(grant->isVisible());
    EXPECT_EQ(text(v.get(), "touchpadAccess.state"), "Granted");
    EXPECT_FALSE(manual->isVisible());
}

// Under KWin without its window management, Settings' Diagnostics and the welcome window offer Allow (the handler
// writes the entry) and say why it did not help; the offers go once window control is there.
TEST_F(ViewsTest, KWinsWindowManagementOfferShowsWhileWindowControlIsUnavailable) {
    EXPECT_EQ(settingsView()->findChild<QWidget*>("kwinWindowManagement"), nullptr) << "not under KWin";
    EXPECT_EQ(welcome()->findChild<QWidget*>("allowWindowManagement"), nullptr);
    int asked = 0;
    auto allow = [&](const std::function<void(Result<>)>& report) {
        ++asked;
        report(Error{"KWin said no"});
    };
    auto deps = settingsDeps();
    deps.onAllowWindowManagement = allow;
    SettingsView inSettings(deps);
    inSettings.show();
    inSettings.selectTab(SettingsView::Tab::diagnostics);
    OnboardingView inWelcome({settings, diagnostics, appearance, grantHandler(), {}, allow});
    inWelcome.show();
    const std::tuple<QWidget*, const char*, const char*> offers[] = {
        {&inSettings, "kwinWindowManagement.grant", "kwinWindowManagement.description"},
        {&inWelcome, "allowWindowManagement", "allowWindowManagement.why"}};
    for (auto [view, button, why] : offers) {
        child<QAbstractButton>(view, button)->click();
        EXPECT_EQ(text(view, why), "KWin said no") << button;
    }
    EXPECT_EQ(asked, 2);
    diagnostics->windowControlAvailable.set(true);
    for (auto [view, button, why] : offers) EXPECT_FALSE(child(view, button)->isVisible()) << button;
    EXPECT_EQ(text(&inSettings, "kwinWindowManagement.state"), "Allowed");
}

TEST_F(ViewsTest, DiagnosticsShowLiveValues) {
    auto v = settingsView();
    auto* pill = child<ui::StatusPill>(v.get(), "diag.devices");
    EXPECT_EQ(pill->text(), "0 active");
    EXPECT_FALSE(pill->isActive());
    EXPECT_EQ(text(v.get(), "diag.travel"), "+0.000");
    EXPECT_EQ(text(v.get(), "diag.lastSwipe"), "—");

    diagnostics->multitouchDevicesActive.set(2);
    diagnostics->touchpadsInaccessible.set(1);
    diagnostics->currentFingerCount.set(3);
    diagnostics->lastFingerSpread.set(0.126);
    diagnostics->lastDeltaX.set(-0.25);
    diagnostics->increment(diagnostics->swipeEventsSeen);
    diagnostics->increment(diagnostics->spreadRejects);
    diagnostics->actionsTriggered.set(12345);
    diagnostics->lastEventAt.set(5000.0 - 65.0);  // 65 s before "now", 15:04:05
    EXPECT_EQ(pill->text(), "2 active");
    EXPECT_TRUE(pill->isActive());
    const std::pair<const char*, const char*> shown[] = {
        {"diag.inaccessible", "1"}, {"diag.fingers", "3"}, {"diag.spread", "0.13"},    {"diag.travel", "-0.250"},
        {"diag.swipes", "1"},       {"diag.rejects", "1"}, {"diag.switches", "12345"}, {"diag.lastSwipe", "3:03:00 PM"},
    };
    // Time formats differ between CLDR versions only in the space before AM or PM.
    for (auto [name, value] : shown) EXPECT_EQ(text(v.get(), name).replace(QChar(0x202f), ' '), value) << name;

    auto entries = [&] {
        std::vector<std::string> out;
        for (auto* l : v->findChildren<QLabel*>("diag.recent.entry")) out.push_back(l->text().toStdString());
        return out;
    };
    diagnostics->mruWindowTitles.set({"Inbox", "notes.txt"});
    diagnostics->mruNames.set({"Mail"});
    EXPECT_EQ(entries(), (std::vector<std::string>{"Inbox", "notes.txt"}));
    settings->granularity.set(Granularity::app);
    EXPECT_EQ(entries(), std::vector<std::string>{"Mail"});
    diagnostics->mruNames.set({});
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(
        std::ranges::any_of(v->findChildren<QLabel*>(), [](QLabel* l) { return l->text().startsWith("Nothing yet"); }));
}

// The scheme and accent the desktop switches to while the windows are open, even where a view
// sits in a window of the application's own (light) palette: backgrounds, the selected tab,
// symbols on buttons, the chooser's stand-in icon and the dividers.
TEST_F(ViewsTest, ViewsFollowTheDesktopAppearanceLiveInsideAnyWindow) {
    auto iconLightness = [](const QIcon& icon) {
        const QImage img = icon.pixmap(24).toImage();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y).alpha() > 100) return img.pixelColor(x, y).lightness();
        return -1;
    };
    QWidget hosts[3];
    std::unique_ptr<QWidget> views[] = {
        std::make_unique<SettingsView>(settingsDeps()),
        std::make_unique<OnboardingView>(OnboardingView::Dependencies{settings, diagnostics, appearance, {}, {}}),
        std::make_unique<AboutView>(appearance)};
    for (int i = 0; i < 3; ++i) {
        views[i]->setParent(&hosts[i]);
        hosts[i].resize(views[i]->size());
        hosts[i].show();
    }
    AppChooserDialog chooser({{"no-icon", "No Icon", std::nullopt}});
    Subscription chooserLook = ui::followAppearance(&chooser, appearance);
    const std::pair<const char*, std::function<QIcon()>> icons[] = {
        {"Add app", [&] { return child<QAbstractButton>(views[0].get(), "addApp")->icon(); }},
        {"Copy", [&] { return child<QAbstractButton>(views[1].get(), "manualGrant.copy")->icon(); }},
        {"placeholder", [&] { return child<QListWidget>(&chooser, "applications")->item(0)->icon(); }},
    };
    const auto frames = views[1]->findChildren<QFrame*>();
    const auto divider = std::ranges::find_if(frames, [](QFrame* f) { return f->height() == 1; });
    ASSERT_NE(divider, frames.end());
    const QColor orange(0xe6, 0x61, 0x00), blue(0x35, 0x84, 0xe4);
    for (auto [scheme, accent] : {std::pair{ColorScheme::dark, orange}, std::pair{ColorScheme::light, blue},
                                  std::pair{ColorScheme::dark, orange}}) {
        const bool dark = scheme == ColorScheme::dark;
        SCOPED_TRACE(dark ? "dark" : "light");
        appearance->set({scheme, accent});
        for (int i = 0; i < 3; ++i) {
            const QImage shot = hosts[i].grab().toImage();
            const QPoint corner(views[i]->width() - 3, views[i]->height() - 3);
            EXPECT_EQ(QColor(shot.pixel(corner)).lightness() < 100, dark) << views[i]->objectName().toStdString();
        }
        EXPECT_EQ(QColor(hosts[0].grab().toImage().pixel(200, 14)), accent) << "the selected tab";
        for (auto& [name, icon] : icons) EXPECT_EQ(iconLightness(icon()) > 128, dark) << name;
        const QImage shot = hosts[1].grab().toImage();
        const QPoint on = (*divider)->mapTo(&hosts[1], QPoint((*divider)->width() / 2, 0));
        const int contrast =
            std::abs(QColor(shot.pixel(on)).lightness() - QColor(shot.pixel(on + QPoint(0, 3))).lightness());
        EXPECT_GE(contrast, 20) << "the divider stands out from the window";
    }
}

TEST_F(ViewsTest, PinnedRowsReorderAndRemoveWithinTheLimit) {
    install({{"a", "Alpha"}, {"b", "Beta"}});
    settings->favouriteApps.set({"a", "b", "gone"});
    auto v = settingsView(SettingsView::Tab::favourites);
    auto row = [&](int i) {
        flush();
        return child(v.get(), QString("pinned.%1").arg(i));
    };
    auto button = [&](int i, const char* name) { return child<QAbstractButton>(row(i), name); };
    EXPECT_EQ(text(row(2), "name"), "gone") << "an app no longer installed shows its identifier";
    EXPECT_TRUE(row(2)->findChild<ui::SymbolView*>());
    EXPECT_FALSE(button(0, "moveUp")->isEnabled());
    EXPECT_TRUE(button(0, "moveDown")->isEnabled());
    EXPECT_FALSE(button(2, "moveDown")->isEnabled());
    EXPECT_EQ(text(v.get(), "limitText"), "Maximum of 3 reached — remove one to add another.");
    EXPECT_FALSE(v->findChild<QAbstractButton*>("addApp"));

    button(2, "moveUp")->click();
    EXPECT_EQ(settings->favouriteApps.get(), (std::vector<std::string>{"a", "gone", "b"}));
    EXPECT_EQ(text(row(1), "name"), "gone");
    button(0, "remove")->click();
    flush();
    EXPECT_EQ(settings->favouriteApps.get(), (std::vector<std::string>{"gone", "b"}));
    EXPECT_FALSE(v->findChild<QLabel*>("limitText"));
    EXPECT_TRUE(child(v.get(), "addApp")->isVisible());
    EXPECT_FALSE(button(0, "moveUp")->isEnabled() || button(1, "moveDown")->isEnabled());
}

TEST_F(ViewsTest, ShelfSuggestsTheMostUsedAppsAndHidesAtTheLimit) {
    install({{"a", "Alpha"}, {"b", "Beta"}, {"c", "Gamma"}, {"trellick", "Trellick"}});
    counts({{"a", 2}, {"b", 9}, {"c", 5}, {"trellick", 50}, {"gone", 20}});
    auto v = settingsView(SettingsView::Tab::favourites);
    auto chips = [&] {
        flush();
        std::vector<std::string> out;
        for (auto* c : child(v.get(), "suggestionShelf")->findChildren<QAbstractButton*>())
            if (c->isVisibleTo(v.get())) out.push_back(c->text().toStdString() + "|" + c->toolTip().toStdString());
        return out;
    };
    EXPECT_EQ(chips(), (std::vector<std::string>{"Beta|Pin Beta", "Gamma|Pin Gamma", "Alpha|Pin Alpha"}));
    child<QAbstractButton>(v.get(), "chip.c")->click();
    flush();
    EXPECT_EQ(settings->favouriteApps.get(), std::vector<std::string>{"c"});
    EXPECT_EQ(chips(), (std::vector<std::string>{"Beta|Pin Beta", "Alpha|Pin Alpha"}));
    settings->favouriteApps.set({"c", "x", "y"});
    EXPECT_FALSE(child(v.get(), "suggestionShelf")->isVisibleTo(v.get()));
}

TEST_F(ViewsTest, AnAppNameThatLooksLikeMarkupIsShownAsWritten) {
    const QString name = R"(<a href="file:///etc">x</a><img src=x>)";
    install({{"a", name.toStdString()}});
    counts({{"a", 1}});
    auto v = settingsView(SettingsView::Tab::favourites);
    flush();
    // What a tooltip shows: Qt renders it as rich text when it might be some.
    const QString tip = child<QAbstractButton>(v.get(), "chip.a")->toolTip();
    const QString shown = Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
    EXPECT_EQ(shown, "Pin " + name);
}

TEST_F(ViewsTest, AddPopoverOffersSuggestionsThenRunningAppsByName) {
    install({{"used", "Most Used"}, {"pinned", "Pinned"}});
    counts({{"used", 3}, {"pinned", 9}});
    settings->favouriteApps.set({"pinned"});
    apps->running = {running(10, "b", "beta"),         running(11, "trellick", "Trellick"),
                     running(12, "pinned", "Pinned"),  running(13, "panel", "Panel", false),
                     running(14, "used", "Most Used"), running(15, std::nullopt, "No Id"),
                     running(16, "a", "Alpha"),        running(17, "c", "alpha")};
    auto v = settingsView(SettingsView::Tab::favourites);
    child<QAbstractButton>(v.get(), "addApp")->click();
    auto* popover = child(v.get(), "addPopover");
    ASSERT_TRUE(popover->isVisible());
    std::vector<std::string> offered;
    for (auto* row : popover->findChildren<QAbstractButton*>("candidate")) offered.push_back(row->text().toStdString());
    EXPECT_EQ(offered, (std::vector<std::string>{"Most Used", "Alpha", "alpha", "beta"}));

    popover->findChildren<QAbstractButton*>("candidate")[3]->click();
    EXPECT_EQ(settings->favouriteApps.get(), (std::vector<std::string>{"pinned", "b"}));
    EXPECT_FALSE(popover->isVisible());

    apps->running.clear();
    counts({});
    flush();
    child<QAbstractButton>(v.get(), "addApp")->click();
    EXPECT_EQ(text(popover, "noCandidates"), "No other open apps to add.");
}

// Near the screen's bottom right the popover still opens whole on that screen.
TEST_F(ViewsTest, AddPopoverStaysOnItsScreen) {
    apps->running = {running(10, "a", "Alpha"), running(11, "b", "Beta"), running(12, "c", "Gamma")};
    auto v = settingsView(SettingsView::Tab::favourites);
    const QRect area = v->screen()->availableGeometry();
    v->move(area.bottomRight() - QPoint(v->width() / 3, v->height() / 3));
    child<QAbstractButton>(v.get(), "addApp")->click();
    auto* popover = child(v.get(), "addPopover");
    ASSERT_TRUE(popover->isVisible());
    EXPECT_TRUE(area.contains(popover->frameGeometry()));
}

TEST_F(ViewsTest, ChooserListsInstalledAppsByNameAndFiltersFromTheKeyboard) {
    sim::SimulatedDesktopEntries entries;
    entries.entries = {{"org.z.Zed", {"Zed", "", ""}}, {"a", {"alpha", "", ""}}, {"org.b.Beta", {"Beta", "", ""}}};
    AppChooserDialog dialog(entries.installed());
    dialog.show();
    auto* list = child<QListWidget>(&dialog, "applications");
    auto* filter = child<QLineEdit>(&dialog, "filter");
    auto* pin = child<QAbstractButton>(&dialog, "pin");
    std::vector<std::string> names;
    for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Beta", "Zed"}));
    EXPECT_EQ(dialog.chosenId(), std::optional<std::string>("a"));

    QTest::keyClick(filter, Qt::Key_Down);
    EXPECT_EQ(dialog.chosenId(), std::optional<std::string>("org.b.Beta"));
    QTest::keyClicks(filter, "ze");
    EXPECT_EQ(dialog.chosenId(), std::optional<std::string>("org.z.Zed")) << "the first match is selected";
    filter->setText("org.b");
    EXPECT_EQ(dialog.chosenId(), std::optional<std::string>("org.b.Beta")) << "ids match too";
    filter->setText("nothing like it");
    EXPECT_FALSE(dialog.chosenId());
    EXPECT_FALSE(pin->isEnabled());
    filter->setText("zed");
    QTest::keyClick(filter, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(GioDesktopEntriesTest, InstalledListsTheApplicationsAMenuShows) {
    const auto base = std::filesystem::temp_directory_path() / ("trellick-views-gio-" + std::to_string(getpid()));
    std::filesystem::create_directories(base / "applications");
    auto entry = [&](const std::string& id, const std::string& extra) {
        std::ofstream(base / "applications" / (id + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=" << id << "\nExec=true\n"
            << extra;
    };
    entry("org.example.Shown", "Icon=accessories-text-editor\n");
    entry("org.example.NoDisplay", "NoDisplay=true\n");
    entry("org.example.Hidden", "Hidden=true\n");
    setenv("XDG_DATA_DIRS", base.c_str(), 1);
    setenv("XDG_DATA_HOME", (base / "home").c_str(), 1);
    std::map<std::string, std::string> found;
    for (auto& e : desktop::GioDesktopEntries().installed()) found[e.id] = e.icon ? e.icon->name : "";
    std::filesystem::remove_all(base);
    EXPECT_EQ(found, (std::map<std::string, std::string>{{"org.example.Shown", "accessories-text-editor"}}));
}

TEST_F(ViewsTest, WelcomeFollowsTouchpadAccessAndHotplug) {
    struct Step {
        int active, refused;
        const char* shown;  // the one of the three state widgets that is visible
        const char* finish;
    };
    const Step steps[] = {
        {0, 0, "noTouchpad", "Done"}, {1, 0, "granted", "Get Started"}, {0, 0, "noTouchpad", "Done"},
        {0, 1, "grant", "Done"},      {0, 0, "noTouchpad", "Done"},
    };
    auto v = welcome();
    auto* mark = child<ui::SymbolView>(v.get(), "touchpadMark");
    for (const Step& s : steps) {
        SCOPED_TRACE(std::to_string(s.active) + " active, " + std::to_string(s.refused) + " refused");
        diagnostics->multitouchDevicesActive.set(s.active);
        diagnostics->touchpadsInaccessible.set(s.refused);
        for (const char* name : {"noTouchpad", "granted", "grant"})
            EXPECT_EQ(child(v.get(), name)->isVisible(), std::string(name) == s.shown) << name;
        EXPECT_EQ(text(v.get(), "finish"), s.finish);
        EXPECT_EQ(mark->symbol() == Symbol::checkmarkCircleFill, s.active > 0);
    }
    // A helper that cannot run shows the commands; access granted hides them again.
    diagnostics->touchpadsInaccessible.set(2);
    pendingGrant = {GrantOutcome::cannotRun};
    child<QAbstractButton>(v.get(), "grant")->click();
    EXPECT_EQ(grantRequests, 1);
    EXPECT_TRUE(child(v.get(), "manualGrant")->isVisible());
    const int heightWithCommands = v->height();
    diagnostics->multitouchDevicesActive.set(1);
    diagnostics->touchpadsInaccessible.set(0);
    EXPECT_FALSE(child(v.get(), "manualGrant")->isVisible());
    EXPECT_LT(v->height(), heightWithCommands) << "the window shrinks back";
}

TEST_F(ViewsTest, ShellWindowsCloseFromTheKeyboardAndCarryTheAppIcon) {
    QtShellWindows windows([](ShellWindow) { return new QLabel("content"); }, presentPlainly);
    for (ShellWindow which : {ShellWindow::settings, ShellWindow::welcome, ShellWindow::about}) {
        windows.build(which);
        QWidget* frame = windows.window(which);
        EXPECT_FALSE(frame->windowIcon().isNull());
        for (QKeyCombination key : {QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W}) {
            SCOPED_TRACE(QtShellWindows::title(which).toStdString() + " " + QKeySequence(key).toString().toStdString());
            frame->show();
            QApplication::setActiveWindow(frame);
            QTest::keyClick(frame, key.key(), key.keyboardModifiers());
            EXPECT_FALSE(windows.isVisible(which));
        }
    }
}

TEST_F(ViewsTest, AboutShowsTheVersionAndLicence) {
    EXPECT_EQ(text(std::make_unique<AboutView>(appearance, VersionInfo{"0.1.0", "1a2b3c4"}).get(), "version"),
              "Version 0.1.0 (1a2b3c4)");
    EXPECT_EQ(text(std::make_unique<AboutView>(appearance, VersionInfo{}).get(), "version"), "Version ? (?)");
    AboutView v;
    EXPECT_TRUE(text(&v, "version").startsWith("Version 0.1.0 (")) << "from the build";
    EXPECT_TRUE(text(&v, "licence").contains("GPL-2.0-or-later"));
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ui::useShellStyle();  // as the application has it
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
