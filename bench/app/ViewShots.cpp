// view_shots DIR: renders every settings tab, the add popover, the application chooser and the
// welcome and about windows, light and dark, into DIR as PNG files, with sample data, so that
// a change to the views can be looked at without a desktop. Runs offscreen.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <QScrollArea>
#include <cstdio>

#include "FakeAppearance.h"
#include "app/views/AboutView.h"
#include "app/views/AppChooserDialog.h"
#include "app/views/OnboardingView.h"
#include "app/views/SettingsView.h"
#include "app/views/Style.h"
#include "app/views/Theme.h"
#include "simulation/SimulatedDesktop.h"
#include "simulation/Simulation.h"

using namespace trellick;

namespace {

void save(QWidget& w, const QString& path) {
    if (!w.grab().save(path)) std::fprintf(stderr, "view_shots: cannot write %s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: view_shots DIR\n", stderr);
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ui::useShellStyle();
    // Offscreen Qt knows no icon folders of its own.
    QIcon::setThemeSearchPaths({"/usr/share/icons"});
    QIcon::setThemeName("Adwaita");
    const QDir dir(argv[1]);
    QDir().mkpath(dir.path());

    MemoryPreferencesStore prefs;
    sim::SimulatedLoginItem login;
    auto settings = std::make_shared<SettingsStore>(prefs, login);
    auto diagnostics = std::make_shared<Diagnostics>();
    auto apps = std::make_shared<sim::SimulatedWorkspace>();
    apps->installedApps = {{"org.gnome.TextEditor", {"Text Editor", IconHandle{"accessories-text-editor", {}}}},
                           {"firefox-esr", {"Firefox ESR", IconHandle{"web-browser", {}}}},
                           {"org.gnome.Terminal", {"Terminal", IconHandle{"utilities-terminal", {}}}},
                           {"org.gnome.Calculator", {"Calculator", IconHandle{"accessories-calculator", {}}}},
                           {"thunderbird", {"Thunderbird Mail", IconHandle{"mail-send-receive", {}}}},
                           {"org.gnome.Nautilus", {"Files", IconHandle{"system-file-manager", {}}}}};
    apps->running = {{101, "org.gnome.Nautilus", "Files", IconHandle{"system-file-manager", {}}, true},
                     {102, "code", "Visual Studio Code", std::nullopt, true}};
    prefs.set(keys::usageCounts, PrefValue(PrefObject{{"firefox-esr", PrefValue(40)},
                                                      {"org.gnome.Terminal", PrefValue(31)},
                                                      {"org.gnome.Calculator", PrefValue(7)},
                                                      {"thunderbird", PrefValue(12)}}));
    settings->favouriteApps.set({"org.gnome.TextEditor", "org.example.Removed"});
    auto favourites = std::make_shared<Favourites>(apps);
    diagnostics->multitouchDevicesActive.set(1);
    diagnostics->swipeEventsSeen.set(42);
    diagnostics->actionsTriggered.set(40);
    diagnostics->lastFingerSpread.set(0.31);
    diagnostics->lastDeltaX.set(-0.184);
    diagnostics->lastEventAt.set(DisplayClock::system().monotonicNow() - 12);
    diagnostics->mruWindowTitles.set({"Inbox — Thunderbird", "notes.md — Text Editor", "~/src/trellick — Terminal"});

    for (auto scheme : {ColorScheme::light, ColorScheme::dark}) {
        const QString suffix = scheme == ColorScheme::light ? "light" : "dark";
        auto look = std::make_shared<FakeAppearance>(Appearance{scheme, QColor(0x35, 0x84, 0xe4)});
        diagnostics->touchpadsInaccessible.set(scheme == ColorScheme::light ? 0 : 1);
        SettingsView view({settings, diagnostics, {favourites, apps, "trellick"}, look, nullptr});
        view.show();
        for (auto tab : SettingsView::kAllTabs) {
            view.selectTab(tab);
            QApplication::processEvents();
            save(view, dir.filePath(SettingsView::rawValue(tab) + "-" + suffix + ".png"));
            // The whole page, for what lies below the fold.
            if (auto* page = view.findChild<QScrollArea*>("page." + SettingsView::rawValue(tab)))
                save(*page->widget(), dir.filePath(SettingsView::rawValue(tab) + "-page-" + suffix + ".png"));
        }

        // The add popover, and the tab dimmed while favourites are off.
        view.selectTab(SettingsView::Tab::favourites);
        if (auto* add = view.findChild<QAbstractButton*>("addApp")) add->click();
        if (auto* popover = view.findChild<QWidget*>("addPopover")) {
            QApplication::processEvents();
            save(*popover, dir.filePath("Popover-" + suffix + ".png"));
            popover->hide();
        }
        settings->favouritesEnabled.set(false);
        QApplication::processEvents();
        save(view, dir.filePath("Favourites-off-" + suffix + ".png"));
        settings->favouritesEnabled.set(true);

        OnboardingView welcome({settings, diagnostics, look, nullptr, [] {}});
        welcome.show();
        QApplication::processEvents();
        save(welcome, dir.filePath("Welcome-" + suffix + ".png"));

        AboutView about(look);
        about.show();
        save(about, dir.filePath("About-" + suffix + ".png"));

        sim::SimulatedDesktopEntries entries;
        for (auto& [id, a] : apps->installedApps) entries.entries[id] = {a.name, a.icon ? a.icon->name : "", ""};
        AppChooserDialog chooser(entries.installed());
        Subscription chooserLook = ui::followAppearance(&chooser, look);
        chooser.show();
        save(chooser, dir.filePath("Chooser-" + suffix + ".png"));
    }
    return 0;
}
