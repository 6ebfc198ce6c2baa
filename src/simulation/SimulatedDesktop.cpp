#include "simulation/SimulatedDesktop.h"

#include <algorithm>
#include <cctype>

namespace trellick::sim {

WindowId SimulatedWindowSystem::open(Window w) {
    WindowId id;
    {
        std::lock_guard lock(m_);
        id = next_++;
        windows_[id] = std::move(w);
        stacking_.push_back(id);
    }
    listChanged_.notify();
    return id;
}

WindowId SimulatedWindowSystem::openAndFocus(Window w) {
    WindowId id = open(std::move(w));
    focus(id);
    return id;
}

void SimulatedWindowSystem::close(WindowId id) {
    closeSilently(id);
    notifyClientList();
}

void SimulatedWindowSystem::closeSilently(WindowId id) {
    std::lock_guard lock(m_);
    windows_.erase(id);
    std::erase(stacking_, id);
    if (active_ == id) active_.reset();
}

void SimulatedWindowSystem::notifyClientList() {
    listChanged_.notify();
}

void SimulatedWindowSystem::raiseLocked(WindowId id) {
    std::erase(stacking_, id);
    stacking_.push_back(id);
}

void SimulatedWindowSystem::focus(WindowId id) {
    {
        std::lock_guard lock(m_);
        auto it = windows_.find(id);
        if (it == windows_.end()) return;
        it->second.minimised = false;
        raiseLocked(id);
        if (active_ == id) return;
        active_ = id;
    }
    activeChanged_.notify(id);
}

void SimulatedWindowSystem::setTitle(WindowId id, std::string title) {
    std::lock_guard lock(m_);
    if (auto it = windows_.find(id); it != windows_.end()) it->second.title = std::move(title);
}

void SimulatedWindowSystem::setMinimised(WindowId id, bool minimised) {
    std::lock_guard lock(m_);
    if (auto it = windows_.find(id); it != windows_.end()) {
        it->second.minimised = minimised;
        if (minimised && active_ == id) active_.reset();
    }
}

void SimulatedWindowSystem::setIcon(WindowId id, std::shared_ptr<const void> icon) {
    std::lock_guard lock(m_);
    if (auto it = windows_.find(id); it != windows_.end()) it->second.icon = std::move(icon);
}

void SimulatedWindowSystem::setWindowControl(bool available, bool notify) {
    {
        std::lock_guard lock(m_);
        control_ = available;
    }
    if (notify) controlChanged_.notify();
}

int SimulatedWindowSystem::aliveChecks() const {
    std::lock_guard lock(m_);
    return aliveChecks_;
}

bool SimulatedWindowSystem::windowControlAvailable() {
    std::lock_guard lock(m_);
    return control_;
}

std::vector<WindowId> SimulatedWindowSystem::clientList() {
    std::lock_guard lock(m_);
    std::vector<WindowId> out;
    for (auto& [id, w] : windows_) out.push_back(id);
    return out;
}

std::vector<WindowId> SimulatedWindowSystem::stackingOrder() {
    std::lock_guard lock(m_);
    return {stacking_.rbegin(), stacking_.rend()};
}

std::optional<WindowId> SimulatedWindowSystem::activeWindow() {
    std::lock_guard lock(m_);
    return active_;
}

std::optional<WindowId> SimulatedWindowSystem::focusedWindow(int pid) {
    std::lock_guard lock(m_);
    if (active_ && windows_.at(*active_).pid == pid) return active_;
    std::optional<WindowId> minimisedOne;
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
        auto& w = windows_.at(*it);
        if (w.pid != pid || w.kind == WindowKind::other) continue;
        if (!w.minimised) return *it;
        if (!minimisedOne) minimisedOne = *it;
    }
    return minimisedOne;
}

bool SimulatedWindowSystem::isAlive(WindowId window) {
    std::lock_guard lock(m_);
    ++aliveChecks_;
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.kind != WindowKind::other;
}

std::optional<WindowKind> SimulatedWindowSystem::kind(WindowId window) {
    std::lock_guard lock(m_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return std::nullopt;
    return it->second.kind;
}

std::optional<std::string> SimulatedWindowSystem::title(WindowId window) {
    std::lock_guard lock(m_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return std::nullopt;
    return it->second.title;
}

std::optional<bool> SimulatedWindowSystem::isMinimised(WindowId window) {
    std::lock_guard lock(m_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return std::nullopt;
    return it->second.minimised;
}

int SimulatedWindowSystem::pid(WindowId window) {
    std::lock_guard lock(m_);
    auto it = windows_.find(window);
    return it == windows_.end() ? 0 : it->second.pid;
}

WindowClassHints SimulatedWindowSystem::classHints(WindowId window) {
    std::lock_guard lock(m_);
    auto it = windows_.find(window);
    return it == windows_.end() ? WindowClassHints{} : it->second.hints;
}

std::optional<IconHandle> SimulatedWindowSystem::icon(WindowId window) {
    std::lock_guard lock(m_);
    auto it = windows_.find(window);
    if (it == windows_.end() || !it->second.icon) return std::nullopt;
    return IconHandle{"", it->second.icon};
}

bool SimulatedWindowSystem::activate(WindowId window) {
    {
        std::lock_guard lock(m_);
        activations.push_back(window);
        if (!control_ || !windows_.count(window)) return false;
        if (!honourActivation) return true;
    }
    focus(window);
    return true;
}

Subscription SimulatedWindowSystem::onActiveWindowChanged(std::function<void(WindowId)> handler) {
    return activeChanged_.connect(std::move(handler));
}
Subscription SimulatedWindowSystem::onClientListChanged(std::function<void()> handler) {
    return listChanged_.connect([h = std::move(handler)] { h(); });
}
Subscription SimulatedWindowSystem::onWindowControlChanged(std::function<void()> handler) {
    return controlChanged_.connect([h = std::move(handler)] { h(); });
}

std::optional<DesktopEntry> SimulatedDesktopEntries::find(const std::string& id) {
    auto it = entries.find(id);
    if (it == entries.end()) return std::nullopt;
    DesktopEntry e{id, it->second.name, std::nullopt};
    if (!it->second.icon.empty()) e.icon = IconHandle{it->second.icon, nullptr};
    return e;
}

std::optional<std::string> SimulatedDesktopEntries::idForWMClass(const std::string& wmClass) {
    for (auto& [id, e] : entries)
        if (e.startupWMClass == wmClass) return id;
    auto lower = [](std::string s) {
        for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (auto& [id, e] : entries)
        if (lower(id) == lower(wmClass)) return id;
    return std::nullopt;
}

std::vector<DesktopEntry> SimulatedDesktopEntries::installed() {
    std::vector<DesktopEntry> out;
    for (auto& [id, e] : entries) out.push_back(*find(id));
    return out;
}

bool SimulatedDesktopEntries::launch(const std::string& id) {
    if (!entries.count(id)) return false;
    launched.push_back(id);
    if (onLaunch) onLaunch(id);
    return true;
}

std::optional<RunningApp> SimulatedWorkspace::runningApp(int pid) {
    for (auto& app : running)
        if (app.pid == pid) return app;
    return std::nullopt;
}

std::optional<AppLocation> SimulatedWorkspace::locate(const std::string& desktopId) {
    auto it = installedApps.find(desktopId);
    if (it == installedApps.end()) return std::nullopt;
    return it->second;
}

}  // namespace trellick::sim
