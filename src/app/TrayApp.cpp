// `trellick` and `trellick --replay FILE [--quit-after-replay]`: the tray application.

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/Commands.h"
#include "app/DesktopServices.h"
#include "app/shell/Shell.h"
#include "app/shell/TrayIcon.h"
#include "app/views/Style.h"
#include "common/Log.h"
#include "common/Text.h"
#include "input/FrameText.h"
#include "overlay/HUDController.h"
#include "platform/desktop/GioDesktopEntries.h"
#include "platform/desktop/JsonPreferencesStore.h"
#include "platform/desktop/KdeWindowAccessEntry.h"
#include "platform/desktop/PortalAppearanceSource.h"
#include "platform/desktop/QtLogSink.h"
#include "platform/desktop/QtMainQueue.h"
#include "platform/desktop/SingleInstance.h"
#include "platform/desktop/TerminationSignals.h"
#include "platform/desktop/UnavailableWindowSystem.h"
#include "platform/desktop/XdgAutostartService.h"
#include "platform/evdev/EvdevHaptics.h"
#include "platform/evdev/EvdevTouchSource.h"
#include "platform/recording/ReplayTouchSource.h"
#include "platform/wayland/KdeWindowSystem.h"
#include "platform/wayland/LayerShellPanel.h"
#include "platform/wayland/LayerShellShield.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "platform/wayland/XdgActivation.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11InputServices.h"
#include "platform/x11/X11WindowPresenter.h"
#include "platform/x11/X11WindowSystem.h"
#include "platform/x11/XEmbedTray.h"

namespace trellick {

namespace {

struct Options {
    std::string replayFile;
    bool quitAfterReplay = false;
};

// Parses the tray application's options; false (after saying why) when they are wrong.
bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--replay" || a.rfind("--replay=", 0) == 0) {
            std::string file = a == "--replay" ? (i + 1 < argc ? argv[++i] : "") : a.substr(9);
            if (file.empty() || !o.replayFile.empty()) {
                std::fputs(file.empty() ? "trellick: --replay needs a FILE\n" : "trellick: --replay is given twice\n",
                           stderr);
                return false;
            }
            o.replayFile = file;
        } else if (a == "--quit-after-replay") {
            o.quitAfterReplay = true;
        } else {
            std::fprintf(stderr, "trellick: unknown option %s (try 'trellick --help')\n", text::quoted(a).c_str());
            return false;
        }
    }
    if (o.quitAfterReplay && o.replayFile.empty()) {
        std::fputs("trellick: --quit-after-replay needs --replay FILE\n", stderr);
        return false;
    }
    return true;
}

bool waylandSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    return (type && std::strcmp(type, "wayland") == 0) || (wl && *wl);
}

using ReplayFrames = std::vector<recording::ReplayTouchSource::Frame>;

// Reads the recording to replay; false (after saying why) when it cannot be read.
bool loadReplay(const std::string& file, ReplayFrames& frames) {
    try {
        for (auto& f : input::loadFramesFile(file)) frames.push_back({f.time, std::move(f.fingers)});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trellick: %s\n", text::printable(e.what()).c_str());
        return false;
    }
    return true;
}

// False (after saying why) outside Wayland when no X11 display can be reached.
bool displayUsable(bool wayland) {
    if (wayland || x11::X11Connection::displayReachable()) return true;
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        std::fprintf(stderr, "trellick: cannot connect to the X11 display %s; Trellick needs an X11 session.\n",
                     display);
    else
        std::fputs("trellick: no X11 display (DISPLAY is not set); Trellick needs an X11 session.\n", stderr);
    return false;
}

// The desktop's services: preferences, login items, application entries and haptics.
void provideDesktop(Application::Platform& platform) {
    auto preferences = std::make_shared<desktop::JsonPreferencesStore>();
    preferences->startWatching();
    platform.preferences = preferences;
    auto autostart = std::make_shared<desktop::XdgAutostartService>();
    // Launch at login must keep working after Trellick moved (reinstalled elsewhere, or its
    // build folder removed): the entry then names a program that is gone.
    if (auto repaired = autostart->repairIfStale(); !repaired)
        log::warning("trellick.settings", "Trellick: failed to update login item: " + repaired.error().reason);
    platform.loginItems = autostart;
    platform.desktopEntries = std::make_shared<desktop::GioDesktopEntries>();
    platform.haptics = evdev::EvdevHaptics::createSystem();
}

// A token from the compositor to hand to the running instance, so that its settings window may
// take the focus; empty where there is none to be had.
QString activationToken() {
    auto opened = wayland::WaylandConnection::open();
    if (!opened) return {};
    auto activation = wayland::XdgActivation::create(opened.value());
    return activation ? QString::fromStdString(activation->token(kApplicationId)) : QString();
}

// The one Trellick of the session, whose settings a later launch opens. On Wayland the window
// may take the focus only with the token the later launch passed: Qt's Wayland plugin activates
// the next window it is asked to with XDG_ACTIVATION_TOKEN, and drops the variable then.
desktop::SingleInstance::Claim claimInstance(bool wayland, const std::weak_ptr<Application>& running) {
    return desktop::SingleInstance::claim(
        [&running, wayland](const QString& token) {
            if (wayland && !token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
            if (auto d = running.lock()) d->openSettings();
        },
        [wayland] { return wayland ? activationToken() : QString(); });
}

using AllowHandler = std::function<void(std::function<void(Result<>)>)>;

// Writes the desktop entry KWin wants for this program, then connects again until KWin has read
// it (it watches the applications folders), for up to five seconds.
AllowHandler allowKWinWindowManagement(const std::shared_ptr<wayland::KdeWindowSystem>& kde) {
    std::weak_ptr<wayland::KdeWindowSystem> weak = kde;
    return [weak](const std::function<void(Result<>)>& report) {
        const QString program = QCoreApplication::applicationFilePath();
        if (auto written = desktop::KdeWindowAccessEntry::write(program); !written) return report(written);
        auto* timer = new QTimer;
        timer->setInterval(250);
        // Each try is a new connection, for which KWin looks the program's entry up (0.2 s on the rig).
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        QObject::connect(timer, &QTimer::timeout, [timer, weak, report, program, deadline] {
            auto kde = weak.lock();
            const bool done = kde && kde->connectAgain();
            if (!done && kde && std::chrono::steady_clock::now() < deadline) return;
            timer->stop();
            timer->deleteLater();
            if (done) return report({});
            report(Error{"Wrote " + desktop::KdeWindowAccessEntry::path(program).toStdString() +
                         ", but KWin has not offered its window management yet. Quit Trellick and start it again."});
        });
        timer->start();
    };
}

// Window control and the overlay in a Wayland session: never X11 through XWayland, which sees
// only X clients. Where the compositor lacks a protocol, says which; touch input works all the
// same. A compositor lost later quits, as a lost X server does.
void provideWayland(Application::Platform& platform, const std::shared_ptr<AppearanceSource>& appearance,
                    std::shared_ptr<wayland::WaylandConnection>& connection, Subscription& lostSub,
                    AllowHandler& allowWindowManagement) {
    auto opened = wayland::WaylandConnection::open();
    if (!opened) {
        std::fprintf(stderr, "trellick: %s; window control is unavailable, touchpad input still works.\n",
                     opened.error().reason.c_str());
        platform.windows = std::make_shared<desktop::UnavailableWindowSystem>();
        return;
    }
    connection = std::move(opened).value();
    auto say = [](const std::vector<std::string>& missing, const char* what) {
        if (!missing.empty())
            std::fprintf(stderr, "trellick: the Wayland compositor does not offer %s: %s.\n",
                         log::joined(missing).c_str(), what);
    };
    // KWin's window management where offered, else the wlroots one. KWin hides its global from
    // a program that no desktop entry names, so under KWin that is the one missing, and the
    // settings offer to write the entry.
    if (wayland::KdeWindowSystem::offered(*connection)) {
        platform.windows = wayland::KdeWindowSystem::create(connection);
    } else if (wayland::KdeWindowSystem::underKWin(*connection)) {
        say({wayland::KdeWindowSystem::kInterface},
            "KWin offers it only to a program that a desktop entry names (Settings, Diagnostics: Allow); window "
            "control is unavailable, touchpad input still works");
        auto kde = wayland::KdeWindowSystem::create(connection);
        platform.windows = kde;
        allowWindowManagement = allowKWinWindowManagement(kde);
    } else {
        auto missing = wayland::WaylandWindowSystem::missingProtocols(*connection);
        say(missing, "window control is unavailable, touchpad input still works");
        platform.windows = wayland::WaylandWindowSystem::create(connection, kApplicationId);
    }
    // A launched favourite takes the focus with a token of ours.
    if (auto activation = wayland::XdgActivation::create(connection))
        platform.desktopEntries = std::make_shared<desktop::GioDesktopEntries>(
            [activation](const std::string& id) { return activation->token(id); });
    auto missingOverlay = wayland::LayerShellPanel::missingProtocols(*connection);
    say(missingOverlay, "swipes switch without showing the overlay");
    std::shared_ptr<wayland::LayerShellShield> shield;
    auto missingShield = wayland::LayerShellShield::missingProtocols(*connection);
    say(missingShield, "scrolls and Escape during a walk reach the windows");
    if (missingShield.empty()) {
        shield = std::make_shared<wayland::LayerShellShield>(connection);
        platform.scrollBlocker = shield;
        platform.keyMonitor = shield;
    }
    if (missingOverlay.empty()) {
        platform.makeHUD = [connection, appearance, shield]() -> std::shared_ptr<HUD> {
            return wayland::makeHUDController(connection, appearance, shield);
        };
    }
    lostSub = connection->onLost([] {
        std::fputs("trellick: lost the connection to the Wayland compositor; quitting.\n", stderr);
        QCoreApplication::exit(1);
    });
}

// Window control over X11. False (after saying why) when the X11 connection cannot be opened; a
// connection lost later quits.
bool provideWindows(Application::Platform& platform, const std::shared_ptr<MainQueue>& mainQueue,
                    std::shared_ptr<x11::X11Connection>& connection, Subscription& lostSub) {
    auto opened = x11::X11Connection::open(mainQueue);
    if (!opened) {
        std::fprintf(stderr, "trellick: %s\n", opened.error().reason.c_str());
        return false;
    }
    connection = std::move(opened).value();
    platform.windows = x11::X11WindowSystem::create(connection);
    platform.scrollBlocker = std::make_shared<x11::X11ScrollBlocker>(connection);
    platform.keyMonitor = x11::X11KeyMonitor::create(connection);
    lostSub = connection->onLost([] {
        std::fputs("trellick: lost the connection to the X server; quitting.\n", stderr);
        QCoreApplication::exit(1);
    });
    return true;
}

// The window system's connection the application keeps open, whichever it is.
struct Backend {
    std::shared_ptr<x11::X11Connection> x11;
    std::shared_ptr<wayland::WaylandConnection> wayland;
    Subscription lostSub;
    AllowHandler allowWindowManagement;  // under KWin without its window management
};

// The one place that picks the backend for the session: window control, the overlay and the
// input services from Wayland or X11. False (after saying why) when X11 cannot be reached.
bool provideBackend(Application::Platform& platform, bool wayland, const std::shared_ptr<AppearanceSource>& appearance,
                    const std::shared_ptr<MainQueue>& mainQueue, Backend& backend) {
    if (wayland) {
        provideWayland(platform, appearance, backend.wayland, backend.lostSub, backend.allowWindowManagement);
        return true;
    }
    if (!provideWindows(platform, mainQueue, backend.x11, backend.lostSub)) return false;
    platform.makeHUD = desktopServices(backend.x11, appearance).makeHUD;
    return true;
}

// The touch frames: the recording, which `frames` holds until the source takes it, or the
// touchpads.
void provideTouch(Application::Platform& platform, const Options& options, ReplayFrames& frames,
                  const std::shared_ptr<MainQueue>& mainQueue) {
    if (!options.replayFile.empty()) {
        bool quitAfter = options.quitAfterReplay;
        std::string name = options.replayFile;
        platform.makeTouchSource = [&frames, mainQueue, quitAfter, name](const std::weak_ptr<Diagnostics>&) {
            std::weak_ptr<MainQueue> weakQueue = mainQueue;
            return std::make_shared<recording::ReplayTouchSource>(
                name, std::move(frames), mainQueue, [quitAfter, weakQueue] {
                    if (!quitAfter) return;
                    if (auto q = weakQueue.lock()) q->postAfter(1.0, [] { QCoreApplication::quit(); });
                });
        };
    } else {
        platform.makeTouchSource = [mainQueue](std::weak_ptr<Diagnostics> diagnostics) {
            return evdev::EvdevTouchSource::createSystem(mainQueue, std::move(diagnostics));
        };
    }
}

// Names, icon and look of the application, for every window it opens.
void setUpApplication() {
    QApplication::setApplicationName("Trellick");
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(kApplicationId);
    QApplication::setWindowIcon(applicationIcon());  // dialogs too, not only the shell's windows
    ui::useShellStyle();
}

}  // namespace

// The shell's window-system parts: how our windows come forward and which tray hosts count.
Shell::Options shellOptions(bool wayland, const std::shared_ptr<AppearanceSource>& appearance, const Backend& backend) {
    Shell::Options o{TRELLICK_VERSION, TRELLICK_UPDATE_FEED_URL, appearance};
    o.allowWindowManagement = backend.allowWindowManagement;
    if (!wayland) {
        auto presenter = std::make_shared<x11::X11WindowPresenter>();
        o.present = [presenter](QWidget* window) { presenter->present(window); };
        o.otherTrayHost = [](std::function<void()> mayHaveAppeared) {
            auto tray = std::make_shared<x11::XEmbedTray>(std::move(mayHaveAppeared));
            return desktop::TrayHostWatch{[tray] { return tray->present(); }};
        };
    }
    return o;
}

int runTrayApp(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) return 2;
    // Read the recording before anything shows up, so that a bad file is reported plainly.
    ReplayFrames frames;
    if (!options.replayFile.empty() && !loadReplay(options.replayFile, frames)) return 2;
    const bool wayland = waylandSession();
    if (!displayUsable(wayland)) return 1;

    desktop::installQtLogSink();
    QApplication app(argc, argv);
    setUpApplication();

    // A second launch asks the first to open its settings, and leaves.
    std::weak_ptr<Application> running;
    auto instance = claimInstance(wayland, running);
    if (instance.outcome != desktop::SingleInstance::Outcome::first) {
        if (!instance.message.isEmpty()) std::fprintf(stderr, "trellick: %s\n", qPrintable(instance.message));
        return instance.outcome == desktop::SingleInstance::Outcome::failed ? 1 : 0;
    }
    desktop::TerminationSignals termination([](int) { QCoreApplication::quit(); });

    // Light or dark and the accent, from the desktop portal (else the Qt palette), live.
    auto appearance = std::make_shared<desktop::PortalAppearanceSource>();
    std::shared_ptr<MainQueue> mainQueue = std::make_shared<desktop::QtMainQueue>();
    auto clock = std::make_shared<desktop::SteadyClock>();
    Application::Platform platform;
    provideDesktop(platform);
    platform.mainQueue = mainQueue;
    platform.clock = clock;
    Backend backend;
    if (!provideBackend(platform, wayland, appearance, mainQueue, backend)) return 1;
    Shell shell(shellOptions(wayland, appearance, backend));
    provideTouch(platform, options, frames, mainQueue);

    shell.provide(platform);
    auto application = std::make_shared<Application>(std::move(platform));
    running = application;
    shell.attach(application);
    application->start();
    if (backend.x11) backend.x11->startReading();

    if (!shell.showTray())
        std::fputs(
            "trellick: no system tray yet; its icon appears when one starts. Until then, launching Trellick again "
            "opens its settings.\n",
            stderr);

    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&application] { application->shutdown(); });
    int status = app.exec();
    application->shutdown();
    application.reset();
    return status;
}

}  // namespace trellick
