#include "platform/wayland/KdeWindowSystem.h"

#include <fcntl.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QDataStream>
#include <QIcon>
#include <QImage>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "plasma-window-management-client-protocol.h"

namespace trellick::wayland {

const char* const KdeWindowSystem::kInterface = "org_kde_plasma_window_management";

// Listed once its initial state has come, unless KWin keeps it out of its switcher.
struct KdeWindowSystem::Window : ListedWindow {
    KdeWindowSystem* owner = nullptr;
    std::string uuid;
    org_kde_plasma_window* handle = nullptr;
    std::string resourceName, iconName;
    uint32_t pid = 0;
    uint32_t state = 0;
    bool initialised = false;             // its initial state has come
    std::shared_ptr<const QImage> image;  // KWin's icon, where it names no themed one
};

// One icon on its way from KWin: it writes a serialised QIcon into the pipe, then closes it.
struct KdeWindowSystem::IconRead {
    int fd = -1;
    QByteArray bytes;
    std::unique_ptr<QSocketNotifier> notifier;
    ~IconRead() {
        notifier.reset();
        if (fd >= 0) ::close(fd);
    }
};

namespace {
constexpr uint32_t kActive = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
constexpr uint32_t kMinimised = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED;
constexpr uint32_t kSkipSwitcher = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_SKIPSWITCHER;
}  // namespace

// The C callbacks, forwarding to the members.
struct KdeListeners {
    using W = KdeWindowSystem::Window;
    using P = org_kde_plasma_window;
    static W& of(void* data) { return *static_cast<W*>(data); }
    template <auto field>  // a std::string member of W (or of its ListedWindow)
    static void text(void* data, P*, const char* s) {
        std::lock_guard lock(of(data).owner->lock_);
        of(data).*field = s ? s : "";
    }
    static void state(void* data, P*, uint32_t flags) { of(data).owner->stateChanged(of(data), flags); }
    static void unmapped(void* data, P*) { of(data).owner->unmapped(of(data)); }
    static void initialState(void* data, P*) { of(data).owner->initialState(of(data)); }
    static void parent(void* data, P*, P* parent) {
        std::lock_guard lock(of(data).owner->lock_);
        of(data).parent = parent;
    }
    static void pid(void* data, P*, uint32_t pid) {
        std::lock_guard lock(of(data).owner->lock_);
        of(data).pid = pid;
    }
    static void ignoreText(void*, P*, const char*) {}
    static constexpr org_kde_plasma_window_listener window = {
        .title_changed = text<&ListedWindow::title>,
        .app_id_changed = text<&ListedWindow::appId>,
        .state_changed = state,
        .virtual_desktop_changed = [](void*, P*, int32_t) {},
        .themed_icon_name_changed = text<&W::iconName>,
        .unmapped = unmapped,
        .initial_state = initialState,
        .parent_window = parent,
        .geometry = [](void*, P*, int32_t, int32_t, uint32_t, uint32_t) {},
        .icon_changed = [](void* data, P*) { of(data).owner->requestIcon(of(data)); },
        .pid_changed = pid,
        .virtual_desktop_entered = ignoreText,
        .virtual_desktop_left = ignoreText,
        .application_menu = [](void*, P*, const char*, const char*) {},
        .activity_entered = ignoreText,
        .activity_left = ignoreText,
        .resource_name_changed = text<&W::resourceName>,
    };

    using M = org_kde_plasma_window_management;
    static KdeWindowSystem* system(void* data) { return static_cast<KdeWindowSystem*>(data); }
    static constexpr org_kde_plasma_window_management_listener manager = {
        .show_desktop_changed = [](void*, M*, uint32_t) {},
        .window = [](void*, M*, uint32_t) {},  // the same window comes again with its uuid
        .stacking_order_changed = [](void*, M*, wl_array*) {},
        .stacking_order_uuid_changed = [](void* data, M*,
                                          const char* uuids) { system(data)->stackingOrderChanged(uuids); },
        .window_with_uuid = [](void* data, M*, uint32_t, const char* uuid) { system(data)->windowAnnounced(uuid); },
    };
};

bool KdeWindowSystem::offered(const WaylandConnection& connection) {
    return std::ranges::any_of(connection.globals(),
                               [](const auto& g) { return g.interface == kInterface && g.version >= 13; });
}

bool KdeWindowSystem::underKWin(const WaylandConnection& connection) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop && std::strstr(desktop, "KDE")) return true;
    // Not org_kde_kwin_*: wlroots compositors offer some of those (server decorations, idle).
    return std::ranges::any_of(connection.globals(), [](const auto& g) {
        return g.interface.starts_with("org_kde_plasma_") || g.interface.starts_with("kde_output_device");
    });
}

std::shared_ptr<KdeWindowSystem> KdeWindowSystem::create(std::shared_ptr<WaylandConnection> connection) {
    std::shared_ptr<KdeWindowSystem> ws(new KdeWindowSystem(std::move(connection)));
    ws->bindManager();
    return ws;
}

bool KdeWindowSystem::bindManager() {
    // Version 13 brings windows by uuid, 16 the resource name; KWin 5.27 and Plasma 6 offer 16.
    for (const auto& g : conn_->globals())
        if (g.interface == kInterface && g.version >= 13)
            manager_ = static_cast<org_kde_plasma_window_management*>(
                conn_->bind(g, org_kde_plasma_window_management_interface, 16));
    if (manager_) {
        org_kde_plasma_window_management_add_listener(manager_, &KdeListeners::manager, this);
        {
            std::lock_guard lock(lock_);
            control_ = true;
        }
        // The windows and the stacking order come with the bind, each window's state once asked.
        conn_->roundtrip();
        conn_->roundtrip();
        std::lock_guard lock(lock_);
        seedRecency();
    }
    lostSub_ = conn_->onLost([this] { lost(); });  // ends with us, before conn_
    return manager_ != nullptr;
}

bool KdeWindowSystem::connectAgain(const char* display) {
    if (manager_) return true;
    auto opened = WaylandConnection::open(display);
    if (!opened || !offered(*opened.value())) return false;
    lostSub_.reset();
    conn_ = std::move(opened).value();
    if (!bindManager()) return false;
    controlChanged_.notify();
    listChanged_.notify();
    return true;
}

KdeWindowSystem::KdeWindowSystem(std::shared_ptr<WaylandConnection> connection) : conn_(std::move(connection)) {}

KdeWindowSystem::~KdeWindowSystem() {
    icons_.clear();
    for (auto& [id, w] : windows_) org_kde_plasma_window_destroy(w->handle);
    // The manager has no destructor request: events still in flight for it are dropped.
    if (manager_) org_kde_plasma_window_management_destroy(manager_);
    conn_->flush();
}

void KdeWindowSystem::windowAnnounced(const char* uuid) {
    auto w = std::make_unique<Window>();
    w->owner = this;
    w->uuid = uuid;
    w->handle = org_kde_plasma_window_management_get_window_by_uuid(manager_, uuid);
    org_kde_plasma_window_add_listener(w->handle, &KdeListeners::window, w.get());
    std::lock_guard lock(lock_);
    w->id = nextId_++;
    windows_[w->id] = std::move(w);
}

void KdeWindowSystem::stackingOrderChanged(const char* uuids) {
    std::vector<std::string> order;
    for (std::string_view rest = uuids ? uuids : ""; !rest.empty();) {
        const auto semicolon = rest.find(';');
        if (semicolon != 0) order.emplace_back(rest.substr(0, semicolon));
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
    std::lock_guard lock(lock_);
    stacking_ = std::move(order);
}

void KdeWindowSystem::seedRecency() {
    seeded_ = true;
    auto height = [&](WindowId id) {
        const auto at = std::find(stacking_.begin(), stacking_.end(), windows_[id]->uuid);
        return at == stacking_.end() ? -1 : static_cast<int>(at - stacking_.begin());
    };
    // Top-most first; windows missing from the order after them, as announced.
    std::stable_sort(recency_.begin(), recency_.end(), [&](WindowId a, WindowId b) { return height(a) > height(b); });
    if (active_) {
        std::erase(recency_, *active_);
        recency_.insert(recency_.begin(), *active_);
    }
}

void KdeWindowSystem::initialState(Window& w) {
    bool themed = false;
    {
        std::lock_guard lock(lock_);
        w.initialised = true;
        themed = !w.iconName.empty();
    }
    if (!themed) requestIcon(w);
    stateChanged(w, w.state);
}

void KdeWindowSystem::requestIcon(Window& w) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    org_kde_plasma_window_get_icon(w.handle, fds[1]);
    conn_->flush();
    ::close(fds[1]);
    auto read = std::make_unique<IconRead>();
    read->fd = fds[0];
    read->notifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
    const WindowId id = w.id;
    QObject::connect(read->notifier.get(), &QSocketNotifier::activated, [this, id] { iconReadable(id); });
    icons_[id] = std::move(read);  // a newer request replaces an older one
}

void KdeWindowSystem::iconReadable(WindowId id) {
    IconRead& r = *icons_.at(id);
    char chunk[65536];
    ssize_t n = 0;
    while ((n = ::read(r.fd, chunk, sizeof chunk)) > 0 && r.bytes.size() < (8 << 20)) r.bytes.append(chunk, n);
    if (n < 0 && errno == EAGAIN) return;
    // KWin 5 writes with Qt 5's stream format, Plasma 6 with Qt 6's.
    QIcon icon;
    for (auto version : {QDataStream::Qt_5_15, QDataStream::Qt_DefaultCompiledVersion}) {
        QDataStream in(r.bytes);
        in.setVersion(version);
        in >> icon;
        if (!icon.isNull()) break;
    }
    icons_.erase(id);  // r is gone from here on
    if (icon.isNull()) return;
    // The overlay draws icons of up to 56 logical pixels, 112 device pixels at twice the density.
    auto image = std::make_shared<const QImage>(icon.pixmap(QSize(128, 128)).toImage());
    std::lock_guard lock(lock_);
    if (auto it = windows_.find(id); it != windows_.end()) it->second->image = std::move(image);
}

void KdeWindowSystem::stateChanged(Window& w, uint32_t flags) {
    bool listChanged = false, activated = false;
    {
        std::lock_guard lock(lock_);
        w.state = flags;
        if (!w.initialised) return;
        const bool listed = !(flags & kSkipSwitcher);
        listChanged = setListed(w, listed);
        // A window kept out of the lists (a panel, the desktop) taking the focus is no change of
        // recency, as nothing activated is none on other compositors.
        w.active = listed && (flags & kActive);
        w.minimised = flags & kMinimised;
        activated = followActive(w) && seeded_;
    }
    if (listChanged) listChanged_.notify();
    if (activated) activeChanged_.notify(w.id);
}

void KdeWindowSystem::unmapped(Window& w) {
    bool wasListed = false;
    {
        std::lock_guard lock(lock_);
        wasListed = setListed(w, false);
        for (auto& [other, o] : windows_)
            if (o->parent == w.handle) o->parent = nullptr;
        org_kde_plasma_window_destroy(w.handle);
        icons_.erase(w.id);
        windows_.erase(w.id);  // w is gone from here on
    }
    if (wasListed) listChanged_.notify();
}

ListedWindow* KdeWindowSystem::find(WindowId window) {
    auto it = windows_.find(window);
    return it == windows_.end() || !it->second->listed ? nullptr : it->second.get();
}

int KdeWindowSystem::processOf(ListedWindow& w) {
    return static_cast<int>(static_cast<Window&>(w).pid);
}

WindowClassHints KdeWindowSystem::classHints(WindowId window) {
    std::lock_guard lock(lock_);
    WindowClassHints h;
    if (auto* w = static_cast<Window*>(find(window))) {
        h.instance = w->resourceName;
        h.className = w->appId;
        h.gtkApplicationId = w->appId;
    }
    return h;
}

std::optional<IconHandle> KdeWindowSystem::icon(WindowId window) {
    std::lock_guard lock(lock_);
    auto* w = static_cast<Window*>(find(window));
    if (!w) return std::nullopt;
    if (!w->iconName.empty()) return IconHandle{w->iconName, nullptr};
    if (w->image) return IconHandle{"", w->image};
    return std::nullopt;
}

bool KdeWindowSystem::activate(WindowId window) {
    {
        std::lock_guard lock(lock_);
        auto* w = static_cast<Window*>(find(window));
        if (!control_ || !w) return false;
        org_kde_plasma_window_set_state(w->handle, kActive | kMinimised, kActive);
    }
    conn_->flush();
    return true;
}

}  // namespace trellick::wayland
