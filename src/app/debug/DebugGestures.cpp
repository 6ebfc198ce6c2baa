// `trellick debug-gestures`: runs the gesture engine over contact frames and prints what it
// decides, one JSON object a line. Everything runs on one thread on virtual time: main-queue
// work posted while a frame is handled runs before the next frame, delayed work runs at the
// first frame whose time reaches it, whatever is left runs at the end of input.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "app/Commands.h"
#include "app/debug/DebugGestures.h"
#include "common/Text.h"
#include "input/FrameText.h"
#include "platform/desktop/JsonPreferencesStore.h"
#include "settings/SettingsStore.h"

namespace trellick {

namespace {

const char* stateName(GestureState s) {
    switch (s) {
    case GestureState::idle:
        return "idle";
    case GestureState::watching:
        return "watching";
    case GestureState::active:
        return "active";
    }
    return "idle";
}

const char* rowName(SwitcherRow r) {
    return r == SwitcherRow::favourites ? "favourites" : "recents";
}

// Fixed-point with trailing zeros trimmed: stable across platforms and easy to read.
std::string number(double v) {
    if (!std::isfinite(v)) return "null";
    // Sized by a first call: a huge time has hundreds of digits.
    std::string s(std::size_t(std::snprintf(nullptr, 0, "%.6f", v)), '\0');
    std::snprintf(s.data(), s.size() + 1, "%.6f", v);
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

bool isPreferenceKey(const std::string& key) {
    for (const char* k :
         {keys::mode, keys::granularity, keys::enabled, keys::invertDirection, keys::showHUD, keys::hudStyle,
          keys::hudLabelStyle, keys::compactPeek, keys::hapticFeedback, keys::sensitivity, keys::acceleration,
          keys::cancelDistance, keys::flickRevealDelay, keys::flickVelocity, keys::favouritesEnabled,
          keys::favouriteApps, keys::onboarded, keys::usageCounts}) {
        if (key == k) return true;
    }
    return false;
}

bool parseCount(const std::string& text, int& out) {
    if (text.empty() || text.size() > 6) return false;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
    }
    out = std::stoi(text);
    return true;
}

}  // namespace

// ---- Printing the engine's decisions ----

class GestureRun::Printer : public GestureTrace, public HUD, public HapticPerformer {
public:
    explicit Printer(std::FILE* out) : out_(out) {}
    double t = 0;

    void line(const std::string& event, const std::string& fields = {}) {
        std::fprintf(out_, "{\"t\":%s,\"event\":\"%s\"%s}\n", number(t).c_str(), event.c_str(), fields.c_str());
    }
    void stateChanged(GestureState to) override { line("state", std::string(",\"to\":\"") + stateName(to) + "\""); }
    void spreadReported(float spread, bool rejected) override {
        line("spread", ",\"value\":" + number(spread) + ",\"rejected\":" + (rejected ? "true" : "false"));
    }
    void selected(SwitcherRow row, int index, bool beginning) override {
        line("select", std::string(",\"row\":\"") + rowName(row) + "\",\"index\":" + std::to_string(index) +
                           ",\"beginning\":" + (beginning ? "true" : "false"));
    }
    void switchedPrevious() override { line("switchPrevious"); }
    void committed(SwitcherRow row, int index) override {
        line("commit", std::string(",\"row\":\"") + rowName(row) + "\",\"index\":" + std::to_string(index));
    }
    void cancelled() override { line("cancel"); }
    void swipeEvaluated(float dx) override { line("swipe", ",\"dx\":" + number(dx)); }
    void suppress(bool on) { line("suppress", std::string(",\"on\":") + (on ? "true" : "false")); }

    // The overlay draws nothing here unless --overlay asked for pictures of it.
    std::shared_ptr<OverlayPictures> overlay;
    void showList(const std::vector<SwitchTarget>& recents, int s, const std::vector<SwitchTarget>& favourites, int f,
                  SwitcherRow focus, HUDLabelStyle labels, HUDStyle style, bool compact) override {
        if (!overlay) return;
        overlay->setTime(t);
        overlay->showList(recents, s, favourites, f, focus, labels, style, compact);
    }
    void hide() override {
        if (overlay) overlay->hide();
    }
    void setCancelProgress(double p) override {
        line("cancelProgress", ",\"value\":" + number(p));
        if (!overlay) return;
        overlay->setTime(t);
        overlay->setCancelProgress(p);
    }

    void perform(HapticPattern pattern) override {
        line("haptic",
             std::string(",\"kind\":\"") + (pattern == HapticPattern::alignment ? "selection" : "switch") + "\"");
    }

private:
    std::FILE* out_;
};

GestureRun::GestureRun(const Options& options, std::FILE* out) {
    printer_ = std::make_shared<Printer>(out);
    printer_->overlay = options.overlay;
    time_ = std::make_shared<sim::VirtualTime>(0);
    if (options.favourites > 0) {
        PrefValue ids;
        auto& list = ids.v.emplace<PrefArray>();
        for (int i = 1; i <= options.favourites; ++i) list.push_back(PrefValue("favourite." + std::to_string(i)));
        prefs_.set(keys::favouriteApps, ids);
    }
    for (const auto& [key, value] : options.preferences) prefs_.set(key, value);

    settings_ = std::make_shared<SettingsStore>(prefs_, loginItems_);
    diagnostics_ = std::make_shared<Diagnostics>();
    keyMonitor_ = std::make_shared<sim::SimulatedKeyMonitor>();

    MultitouchMonitor::Collaborators c;
    c.settings = settings_;
    // One list stands for windows and applications alike.
    auto recents = std::make_shared<sim::SimulatedRecents>(options.recents);
    c.appTracker = recents;
    c.windowTracker = recents;
    c.favourites = std::make_shared<sim::SimulatedFavourites>();
    c.hud = printer_;
    c.diagnostics = diagnostics_;
    c.mainQueue = time_;
    c.scrollBlocker = std::make_shared<sim::SimulatedScrollBlocker>();
    c.keyMonitor = keyMonitor_;
    c.haptics = std::make_shared<Haptics>(printer_, time_);
    c.trace = printer_;
    monitor_ = MultitouchMonitor::create(std::move(c));
    std::weak_ptr<Printer> printer = printer_;
    monitor_->scrollSuppressor().setWantObserver([printer](bool on) {
        if (auto p = printer.lock()) p->suppress(on);
    });
}

GestureRun::~GestureRun() = default;

void GestureRun::runDueWork(double t) {
    printer_->t = t;
    time_->advanceTo(t);
    time_->set(t);
}

void GestureRun::frame(double t, const std::vector<TouchContact>& fingers) {
    runDueWork(t);
    monitor_->handleFrame(fingers.data(), static_cast<int>(fingers.size()), t);
    time_->runReady();
}

void GestureRun::escape(double t) {
    runDueWork(t);
    keyMonitor_->pressEscape();
    time_->runReady();
}

void GestureRun::finish() {
    time_->drain();
    if (auto& o = printer_->overlay) {
        std::fprintf(stderr, "trellick: wrote %d overlay pictures to %s\n", o->written(), o->dir().c_str());
    }
}

// ---- The command ----

namespace {
int usageError(const std::string& message) {
    std::fprintf(stderr, "trellick: %s\n", text::printable(message).c_str());
    std::fprintf(stderr, "Try 'trellick debug-gestures --help'.\n");
    return 2;
}

// A preference value as compact JSON, for messages.
std::string json(const PrefValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "true" : "false";
            } else if constexpr (std::is_same_v<T, double>) {
                char buf[32];
                auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
                return ec == std::errc() ? std::string(buf, end) : "?";
            } else if constexpr (std::is_same_v<T, std::string>) {
                std::string out = "\"";
                for (char c : v) out += c == '"' || c == '\\' ? std::string{'\\', c} : std::string{c};
                return out + "\"";  // control characters are escaped where it is printed
            } else if constexpr (std::is_same_v<T, PrefArray>) {
                std::string out = "[";
                for (const auto& e : v) out += (out.size() > 1 ? "," : "") + json(e);
                return out + "]";
            } else {
                std::string out = "{";
                for (const auto& [k, e] : v) out += (out.size() > 1 ? "," : "") + json(PrefValue(k)) + ":" + json(e);
                return out + "}";
            }
        },
        value.v);
}

// What the settings make of `given` under `key` when that is not `given` itself (a value the
// read rule ignores, or a list it shortens): each setting assigned its own value writes it
// back in the form it was read.
std::optional<PrefValue> valueUsedInstead(const std::string& key, const PrefValue& given) {
    MemoryPreferencesStore store;
    store.set(key, given);
    sim::SimulatedLoginItem loginItems;
    SettingsStore s(store, loginItems);
    auto rewrite = [](auto&... setting) { (setting.set(setting.get()), ...); };
    rewrite(s.mode, s.granularity, s.enabled, s.invertDirection, s.showHUD, s.hudStyle, s.hudLabelStyle,
            s.compactPeekSpacing, s.hapticFeedback, s.sensitivity, s.acceleration, s.cancelDistance, s.flickRevealDelay,
            s.flickVelocity, s.favouritesEnabled, s.favouriteApps);
    auto used = store.object(key);
    if (!used || *used == given) return std::nullopt;
    return used;
}

// The combinations of options that cannot all apply.
int checkCombinations(const DebugSource& source, bool engineOptions) {
    if (!source.framesFile.empty() && !source.replayFile.empty())
        return usageError("--frames and --replay both name the frames to run; give one of them");
    if (source.dumpFrames && !source.framesFile.empty())
        return usageError(
            "--dump-frames prints the frames of a recording or of the touchpads; a --frames file "
            "already is frames");
    if (!source.deviceDescFile.empty() && source.replayFile.empty())
        return usageError("--device-desc goes with --replay FILE");
    if (source.dumpFrames && engineOptions)
        return usageError(
            "--recents, --favourites, --set and --overlay concern what the engine decides, and --dump-frames "
            "runs no engine");
    return -1;
}
}  // namespace

int parseDebugOptions(const std::vector<std::string>& args, GestureRun::Options& options, DebugSource& source) {
    bool engineOptions = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--frames" || a == "--replay" || a == "--device-desc") {
            std::string& file = a == "--frames"   ? source.framesFile
                                : a == "--replay" ? source.replayFile
                                                  : source.deviceDescFile;
            if (!value(v) || v.empty()) return usageError(a + " needs a FILE");
            if (!file.empty()) return usageError(a + " is given twice");
            file = v;
        } else if (a == "--dump-frames") {
            source.dumpFrames = true;
        } else if (a == "--recents" || a == "--favourites") {
            int n = 0;
            if (!value(v) || !parseCount(v, n)) return usageError(a + " needs a whole number");
            (a == "--recents" ? options.recents : options.favourites) = n;
            engineOptions = true;
        } else if (a == "--set") {
            if (!value(v)) return usageError("--set needs KEY=VALUE");
            auto eq = v.find('=');
            if (eq == std::string::npos || eq == 0) return usageError("--set needs KEY=VALUE, got " + text::quoted(v));
            std::string key = v.substr(0, eq), raw = v.substr(eq + 1);
            if (!isPreferenceKey(key))
                return usageError(text::quoted(key) + " is not a preference key (such as trellick.mode)");
            // VALUE is JSON when it parses as JSON, else a string.
            QJsonParseError err;
            auto doc = QJsonDocument::fromJson(QByteArray::fromStdString("[" + raw + "]"), &err);
            PrefValue pv;
            if (err.error == QJsonParseError::NoError && doc.isArray() && doc.array().size() == 1) {
                pv = desktop::prefValueFromJson(doc.array().at(0));
            } else {
                pv = PrefValue(raw);
            }
            // The read rule stands, but a value it does not take as given is said out loud.
            if (auto used = valueUsedInstead(key, pv)) {
                std::fprintf(stderr, "trellick: --set %s: the setting reads %s as %s\n", key.c_str(),
                             text::printable(json(pv)).c_str(), text::printable(json(*used)).c_str());
            }
            options.preferences.emplace_back(key, std::move(pv));
            engineOptions = true;
        } else if (int taken = parseOverlayOption(args, i, options.pictures); taken >= 0) {
            if (taken == 0) return 2;  // already reported
            engineOptions = true;
        } else {
            return usageError("unknown option " + text::quoted(a));
        }
    }
    return checkCombinations(source, engineOptions);
}

int runScenario(const std::string& path, const GestureRun::Options& options) {
    std::vector<input::ScenarioItem> items;
    try {
        items = input::readScenarioText(input::readTextFile(path, "the scenario"), path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trellick: %s\n", text::printable(e.what()).c_str());
        return 2;
    }
    GestureRun run(options, stdout);
    for (const auto& item : items) {
        if (item.escape) {
            run.escape(item.time);
        } else {
            run.frame(item.time, item.fingers);
        }
    }
    run.finish();
    std::fflush(stdout);
    return 0;
}

int runDebugGestures(const std::vector<std::string>& args) {
    GestureRun::Options options;
    DebugSource source;
    if (int rc = parseDebugOptions(args, options, source); rc >= 0) return rc;
    if (options.pictures.dir.empty() && (options.pictures.dark || options.pictures.scale != 1))
        return usageError("--overlay-appearance and --overlay-scale go with --overlay DIR");
    if (!options.pictures.dir.empty() && !(options.overlay = OverlayPictures::create(options.pictures))) return 2;
    if (!source.framesFile.empty()) return runScenario(source.framesFile, options);
    return runOtherDebugSource(source, options);
}

}  // namespace trellick
