#include "platform/evdev/EvdevTouchSource.h"

#include <cerrno>
#include <cstring>

#include "common/Log.h"
#include "platform/evdev/SystemTouchpads.h"
#include "platform/evdev/TouchpadAccessRule.h"

namespace trellick::evdev {

std::shared_ptr<EvdevTouchSource> EvdevTouchSource::create(std::shared_ptr<MainQueue> mainQueue,
                                                           std::weak_ptr<Diagnostics> diagnostics, Backend backend) {
    std::shared_ptr<EvdevTouchSource> s(
        new EvdevTouchSource(std::move(mainQueue), std::move(diagnostics), std::move(backend)));
    s->startMonitor();
    return s;
}

std::shared_ptr<EvdevTouchSource> EvdevTouchSource::createSystem(std::shared_ptr<MainQueue> mainQueue,
                                                                 std::weak_ptr<Diagnostics> diagnostics) {
    return create(std::move(mainQueue), std::move(diagnostics), {makeUdevDiscovery(), makeEvdevOpener(), monotonicNow});
}

EvdevTouchSource::EvdevTouchSource(std::shared_ptr<MainQueue> mainQueue, std::weak_ptr<Diagnostics> diagnostics,
                                   Backend backend)
    : mainQueue_(std::move(mainQueue)),
      diagnostics_(std::move(diagnostics)),
      backend_(std::move(backend)),
      loop_(backend_.now) {}

EvdevTouchSource::~EvdevTouchSource() {
    loop_.stop();
}

std::string EvdevTouchSource::accessWarning(const std::string& devnode) {
    return "Trellick cannot read the touchpad " + devnode +
           " (permission denied). To grant touchpad access, choose \"Grant Touchpad Access…\" in the "
           "welcome window (\"Welcome & Setup…\" in the tray menu), or add a udev rule that gives the "
           "user at the seat read and write access to touchpads only; as root:\n" +
           touchpadAccessRootCommands();
}

std::string EvdevTouchSource::noTouchpadWarning() {
    return "Trellick found no touchpad: no input device is marked as one (ID_INPUT_TOUCHPAD=1 in udev). "
           "Connect a touchpad, or, if this computer has one, check what udev says about it: "
           "'udevadm info /dev/input/eventN | grep ID_INPUT'.";
}

void EvdevTouchSource::startMonitor() {
    if (!backend_.discovery) return;
    int fd = backend_.discovery->monitorFd();
    if (fd < 0) return;
    std::weak_ptr<EvdevTouchSource> weak = weak_from_this();
    auto queue = mainQueue_;
    TouchpadDiscovery* discovery = backend_.discovery.get();
    TouchLoop* loop = &loop_;
    // Touch thread. The loop stops before the discovery is destroyed, so both pointers hold.
    monitoring_ = loop_.watch(fd, [weak, queue, discovery, loop] {
        for (auto& change : discovery->receiveChanges()) {
            // An unplugged touchpad ends its gesture here, on the thread its frames come from.
            if (change.kind == TouchpadChange::Kind::removed) loop->drop(change.node.devnode);
            queue->post([weak, change] {
                if (auto self = weak.lock()) self->onChange(change);
            });
        }
    });
}

bool EvdevTouchSource::probe(const TouchpadNode& node) {
    if (started_.count(node.devnode) || opened_.count(node.devnode)) return true;
    if (!backend_.opener) return false;
    auto opened = backend_.opener->open(node);
    if (opened) {
        log::debug(log::evdev, [&] { return "opened " + node.devnode + " (" + node.name + ")"; });
        opened_[node.devnode] = std::move(opened).value();
        noteRefused(node.devnode, false);
        return true;
    }
    const Error& why = opened.error();
    log::debug(log::evdev, [&] { return "cannot open " + node.devnode + ": " + why.reason; });
    failed_[node.devnode] = why.reason;
    noteRefused(node.devnode, why.code == EACCES || why.code == EPERM);
    return false;
}

void EvdevTouchSource::noteRefused(const std::string& devnode, bool refused) {
    if (!refused) {
        refused_.erase(devnode);
        return;
    }
    refused_.insert(devnode);
    if (!warned_) {
        warned_ = true;
        log::warning(log::evdev, accessWarning(devnode));
    }
}

void EvdevTouchSource::publishRefused() {
    auto count = static_cast<std::int64_t>(refused_.size());
    if (count == publishedRefused_) return;
    publishedRefused_ = count;
    std::weak_ptr<Diagnostics> diagnostics = diagnostics_;
    mainQueue_->post([diagnostics, count] {
        if (auto d = diagnostics.lock()) d->touchpadsInaccessible.set(count);
    });
}

std::vector<TouchDevice> EvdevTouchSource::deviceList() {
    std::vector<TouchDevice> usable;
    std::vector<TouchpadNode> nodes =
        backend_.discovery ? backend_.discovery->enumerate() : std::vector<TouchpadNode>{};
    std::set<std::string> present;
    failed_.clear();
    for (const auto& node : nodes) {
        present.insert(node.devnode);
        names_[node.devnode] = node.name;
        if (probe(node)) usable.push_back({node.devnode, node.name});
    }
    // No touchpad at all, or none that opens for another reason than permission (which has
    // its own warning): said once, since the shell retries and later touchpads are reported.
    if (usable.empty() && started_.empty() && refused_.empty() && !warnedUnusable_) {
        warnedUnusable_ = true;
        std::string failures;
        for (const auto& [devnode, why] : failed_) {
            if (!failures.empty()) failures += ", ";
            failures += devnode;
            failures += " (";
            failures += why;
            failures += ')';
        }
        log::warning(log::evdev, failures.empty() ? noTouchpadWarning()
                                                  : "Trellick cannot use the touchpads found: " + failures + ".");
    }
    // Forget what went away without the monitor telling us.
    std::erase_if(refused_, [&](const std::string& n) { return !present.count(n); });
    std::erase_if(opened_, [&](const auto& entry) { return !present.count(entry.first); });
    publishRefused();
    return usable;
}

bool EvdevTouchSource::startDevice(const TouchDevice& device, FrameHandler handler) {
    if (started_.count(device.id) || !handler) return false;
    auto it = opened_.find(device.id);
    if (it == opened_.end()) {
        bool ok = probe({device.id, device.name});
        publishRefused();
        if (!ok) return false;
        it = opened_.find(device.id);
    }
    std::unique_ptr<TouchpadReader> reader = std::move(it->second);
    opened_.erase(it);
    knowledge_[device.id] = input::deviceKnowledge(reader->info());
    for (const auto& line : knowledge_[device.id]) log::debug(log::evdev, [&] { return device.id + ": " + line; });

    std::weak_ptr<EvdevTouchSource> weak = weak_from_this();
    auto queue = mainQueue_;
    std::string id = device.id;
    auto onGone = [weak, queue, id] {
        queue->post([weak, id] {
            if (auto self = weak.lock()) self->onGone(id);
        });
    };
    // Touch thread: each contact left out for good counts once in Diagnostics.
    std::weak_ptr<Diagnostics> diagnostics = diagnostics_;
    auto onRejected = [queue, diagnostics, id, observer = rejectedObserver_](
                          const std::vector<input::RejectedContact>& rejected, double time) {
        if (observer) observer(id, time, rejected);
        std::int64_t palms = 0, thumbs = 0;
        for (const auto& r : rejected) {
            if (r.first) ++(r.thumb ? thumbs : palms);
        }
        if (palms + thumbs == 0) return;
        queue->post([diagnostics, palms, thumbs] {
            auto d = diagnostics.lock();
            if (!d) return;
            if (palms) d->palmRejects.set(d->palmRejects.get() + palms);
            if (thumbs) d->thumbRejects.set(d->thumbRejects.get() + thumbs);
        });
    };
    if (!loop_.add(device.id, std::move(reader), std::move(handler), std::move(onGone), std::move(onRejected))) {
        return false;
    }
    started_.insert(device.id);
    if (!device.name.empty()) names_[device.id] = device.name;
    publishKnowledge();
    log::debug(log::evdev, [&] { return "reading " + device.id; });
    return true;
}

void EvdevTouchSource::stopDevice(const TouchDevice& device) {
    if (started_.count(device.id)) log::debug(log::evdev, [&] { return "closing " + device.id; });
    loop_.remove(device.id);
    started_.erase(device.id);
    opened_.erase(device.id);
    if (knowledge_.erase(device.id)) publishKnowledge();
}

void EvdevTouchSource::publishKnowledge() {
    std::vector<std::string> lines;
    for (const auto& [id, known] : knowledge_) {
        auto name = names_.count(id) ? names_[id] : id;
        for (const auto& line : known) lines.emplace_back(name).append(": ").append(line);
    }
    mainQueue_->post([diagnostics = diagnostics_, lines] {
        if (auto d = diagnostics.lock()) d->touchpadKnowledge.set(lines);
    });
}

void EvdevTouchSource::setHotplugHandler(HotplugHandler handler) {
    hotplug_ = std::move(handler);
}

void EvdevTouchSource::rescan() {
    if (!backend_.discovery) return;
    std::set<std::string> present;
    for (const auto& node : backend_.discovery->enumerate()) {
        present.insert(node.devnode);
        names_[node.devnode] = node.name;
        if (started_.count(node.devnode)) continue;
        if (probe(node) && hotplug_) hotplug_({node.devnode, node.name}, true);
    }
    std::erase_if(refused_, [&](const std::string& n) { return !present.count(n); });
    publishRefused();
}

void EvdevTouchSource::onChange(const TouchpadChange& change) {
    const auto& node = change.node;
    if (change.kind == TouchpadChange::Kind::removed) {
        // A started device reports its removal through onGone, after its last frame.
        opened_.erase(node.devnode);
        refused_.erase(node.devnode);
        publishRefused();
        return;
    }
    // Added, or changed: a change can be the permission that makes a refused touchpad readable.
    names_[node.devnode] = node.name;
    if (started_.count(node.devnode)) return;
    bool usable = probe(node);
    publishRefused();
    if (usable && hotplug_) hotplug_({node.devnode, node.name}, true);
}

void EvdevTouchSource::onGone(const std::string& devnode) {
    opened_.erase(devnode);
    if (!started_.erase(devnode)) return;
    log::debug(log::evdev, [&] { return devnode + " went away"; });
    if (hotplug_) hotplug_({devnode, names_[devnode]}, false);
}

}  // namespace trellick::evdev
