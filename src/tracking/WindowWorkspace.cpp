#include "tracking/WindowWorkspace.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

namespace trellick {

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Removes the suffix when s ends in it.
bool stripSuffix(std::string& s, const std::string& suffix) {
    if (!endsWith(s, suffix)) return false;
    s.resize(s.size() - suffix.size());
    return true;
}

// systemd escapes unit names with \xNN.
std::string unescapeUnit(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

std::vector<StackedWindow> windowsByStacking(WindowSystem& windows, int ownPID) {
    std::vector<StackedWindow> shown, minimised;
    if (!windows.windowControlAvailable()) return shown;
    for (WindowId w : windows.stackingOrder()) {
        auto k = windows.kind(w);
        if (w == 0 || !k || *k == WindowKind::other) continue;
        int pid = windows.pid(w);
        if (pid < 1 || pid == ownPID) continue;
        (windows.isMinimised(w).value_or(false) ? minimised : shown).push_back({w, pid});
    }
    shown.insert(shown.end(), minimised.begin(), minimised.end());
    return shown;
}

std::shared_ptr<WindowWorkspace> WindowWorkspace::create(std::shared_ptr<WindowSystem> windows,
                                                         std::shared_ptr<DesktopEntries> entries, CgroupReader cgroup) {
    std::shared_ptr<WindowWorkspace> ws(new WindowWorkspace(std::move(windows), std::move(entries), std::move(cgroup)));
    std::weak_ptr<WindowWorkspace> weak = ws;
    ws->listSub_ = ws->windows_->onClientListChanged([weak] {
        if (auto self = weak.lock()) self->rescan();
    });
    ws->activeSub_ = ws->windows_->onActiveWindowChanged([weak](WindowId w) {
        if (auto self = weak.lock()) self->onActiveWindow(w);
    });
    ws->rescan();
    if (auto active = ws->windows_->activeWindow()) {
        int pid = ws->windows_->pid(*active);
        if (pid > 0) ws->frontmostPid_ = pid;
    }
    return ws;
}

WindowWorkspace::WindowWorkspace(std::shared_ptr<WindowSystem> windows, std::shared_ptr<DesktopEntries> entries,
                                 CgroupReader cgroup)
    : windows_(std::move(windows)), entries_(std::move(entries)), cgroup_(std::move(cgroup)) {
    if (!cgroup_) cgroup_ = &WindowWorkspace::readCgroupFile;
}

void WindowWorkspace::rescan() {
    std::map<int, WindowId> owners;  // pid -> its first switchable window
    for (WindowId w : windows_->clientList()) {
        auto k = windows_->kind(w);
        if (!k || *k == WindowKind::other) continue;
        int pid = windows_->pid(w);
        if (pid > 0) owners.emplace(pid, w);
    }
    std::vector<int> gone, added;
    for (auto& [pid, app] : apps_)
        if (!owners.count(pid)) gone.push_back(pid);
    for (auto& [pid, w] : owners)
        if (!apps_.count(pid)) added.push_back(pid);
    for (int pid : gone) apps_.erase(pid);
    for (int pid : added) apps_[pid] = describe(pid, owners[pid]);
    for (int pid : gone) {
        if (frontmostPid_ == pid) frontmostPid_.reset();
        terminated_.notify(pid);
    }
    for (int pid : added) launched_.notify(pid);
}

void WindowWorkspace::onActiveWindow(WindowId window) {
    int pid = windows_->pid(window);
    if (pid < 1 || frontmostPid_ == pid) return;
    // The window manager may announce the window before its client list catches up.
    if (!apps_.count(pid)) rescan();
    frontmostPid_ = pid;
    // Some clients set their icon only after mapping the window: look again, off the
    // gesture's path, while the application has no image.
    if (auto it = apps_.find(pid); it != apps_.end() && !(it->second.icon && it->second.icon->data))
        addWindowIcon(it->second, window);
    auto app = runningApp(pid);
    if (!app) {
        app = describe(pid, window);
        app->regular = false;
    }
    activated_.notify(*app);
}

RunningApp WindowWorkspace::describe(int pid, WindowId window) {
    RunningApp app;
    app.pid = pid;
    WindowClassHints hints = windows_->classHints(window);
    if (auto id = resolveEntryId(pid, hints)) {
        app.desktopId = *id;
        if (auto entry = entries_->find(*id)) {
            if (!entry->name.empty()) app.name = entry->name;
            app.icon = entry->icon;
        }
    } else if (!hints.className.empty()) {
        app.desktopId = hints.className;
    }
    if (!app.name && !hints.className.empty()) app.name = hints.className;
    addWindowIcon(app, window);
    return app;
}

void WindowWorkspace::addWindowIcon(RunningApp& app, WindowId window) {
    // The entry's icon name goes through the theme; the window's own image rides along for
    // where the theme has no such icon, and stands alone where there is no entry.
    auto own = windows_->icon(window);
    if (!own || !own->data) return;
    if (!app.icon)
        app.icon = own;
    else
        app.icon->data = own->data;
}

std::optional<std::string> WindowWorkspace::resolveEntryId(int pid, const WindowClassHints& hints) {
    auto known = [this](std::string id) -> std::optional<std::string> {
        stripSuffix(id, ".desktop");
        if (id.empty()) return std::nullopt;
        if (entries_->find(id)) return id;
        return std::nullopt;
    };
    if (auto id = known(hints.gtkApplicationId)) return id;
    if (auto id = known(hints.kdeDesktopFile)) return id;
    for (auto& candidate : cgroupCandidates(cgroup_(pid)))
        if (auto id = known(candidate)) return id;
    for (const std::string* cls : {&hints.className, &hints.instance}) {
        if (cls->empty()) continue;
        if (auto id = entries_->idForWMClass(*cls)) return id;
    }
    return std::nullopt;
}

std::vector<std::string> WindowWorkspace::cgroupCandidates(const std::string& cgroupFile) {
    // Prefer the unified hierarchy's line ("0::/..."), else any line.
    std::string path;
    std::istringstream in(cgroupFile);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("0::", 0) == 0) {
            path = line.substr(3);
            break;
        }
        auto colon = line.rfind(':');
        if (path.empty() && colon != std::string::npos) path = line.substr(colon + 1);
    }
    auto slash = path.rfind('/');
    std::string unit = slash == std::string::npos ? path : path.substr(slash + 1);
    if (unit.rfind("app-", 0) != 0) return {};
    unit = unit.substr(4);
    bool scope = stripSuffix(unit, ".scope");
    if (!scope && !stripSuffix(unit, ".service") && !stripSuffix(unit, ".slice")) return {};
    if (auto at = unit.find('@'); at != std::string::npos) unit.resize(at);
    // A scope ends in "-RANDOM" (digits or a hex string); a service never does.
    if (scope) {
        auto dash = unit.rfind('-');
        if (dash != std::string::npos && dash + 1 < unit.size()) {
            std::string tail = unit.substr(dash + 1);
            bool hex = std::all_of(tail.begin(), tail.end(), [](unsigned char c) { return std::isxdigit(c); });
            if (allDigits(tail) || (hex && tail.size() >= 8)) unit.resize(dash);
        }
    }
    if (unit.empty()) return {};
    std::vector<std::string> out{unescapeUnit(unit)};
    // "app-<launcher>-<id>": the launcher prefix has no dots, the id usually has some. An
    // escaped dash (\x2d) belongs to the name and does not separate.
    auto dash = unit.find('-');
    if (dash != std::string::npos && unit.substr(0, dash).find('.') == std::string::npos && dash + 1 < unit.size())
        out.push_back(unescapeUnit(unit.substr(dash + 1)));
    return out;
}

std::string WindowWorkspace::readCgroupFile(int pid) {
    if (pid < 1) return {};
    std::ifstream f("/proc/" + std::to_string(pid) + "/cgroup");
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::optional<RunningApp> WindowWorkspace::runningApp(int pid) {
    auto it = apps_.find(pid);
    if (it == apps_.end()) return std::nullopt;
    return it->second;
}

std::vector<RunningApp> WindowWorkspace::runningApps() {
    std::vector<RunningApp> out;
    for (auto& [pid, app] : apps_) out.push_back(app);
    return out;
}

std::optional<RunningApp> WindowWorkspace::frontmostApp() {
    if (!frontmostPid_) return std::nullopt;
    if (auto app = runningApp(*frontmostPid_)) return app;
    return std::nullopt;
}

void WindowWorkspace::activateApp(int pid) {
    if (pid < 1) return;
    if (auto w = windows_->focusedWindow(pid)) windows_->activate(*w);
}

std::optional<AppLocation> WindowWorkspace::locate(const std::string& desktopId) {
    auto entry = entries_->find(desktopId);
    if (!entry) return std::nullopt;
    return AppLocation{entry->name, entry->icon};
}

bool WindowWorkspace::launch(const std::string& desktopId) {
    return entries_->launch(desktopId);
}

Subscription WindowWorkspace::onActivated(std::function<void(const RunningApp&)> handler) {
    return activated_.connect(std::move(handler));
}
Subscription WindowWorkspace::onLaunched(std::function<void(int)> handler) {
    return launched_.connect(std::move(handler));
}
Subscription WindowWorkspace::onTerminated(std::function<void(int)> handler) {
    return terminated_.connect(std::move(handler));
}

}  // namespace trellick
