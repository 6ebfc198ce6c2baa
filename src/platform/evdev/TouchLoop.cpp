#include "platform/evdev/TouchLoop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

#include "input/FrameAssembler.h"

namespace trellick::evdev {

namespace {
constexpr std::uint64_t kWakeToken = 0;
// Events read from one device before the others get a turn (epoll is level-triggered, so
// whatever is left is read on the next round).
constexpr int kEventsPerTurn = 4096;
}  // namespace

struct TouchLoop::Core : std::enable_shared_from_this<Core> {
    struct Device {
        std::string id;
        std::unique_ptr<TouchpadReader> reader;
        input::FrameAssembler assembler;
        FrameHandler handler;
        GoneHandler onGone;
        RejectedHandler onRejected;
        bool removed = false;
        bool fingersDown = false;  // the last frame delivered had contacts
        double lastTime = 0;

        Device(std::string i, std::unique_ptr<TouchpadReader> r, FrameHandler h, GoneHandler g, RejectedHandler rj)
            : id(std::move(i)),
              reader(std::move(r)),
              assembler(reader->info()),
              handler(std::move(h)),
              onGone(std::move(g)),
              onRejected(std::move(rj)) {}
    };

    std::function<double()> now;
    int epollFd = -1;
    int wakeFd = -1;

    // Guards the device tables. Held while a device is read and its frames delivered, so
    // remove() cannot return in the middle of a delivery. Recursive: a handler running on the
    // touch thread may remove devices.
    mutable std::recursive_mutex m;
    std::map<std::uint64_t, std::shared_ptr<Device>> devices;
    std::map<std::string, std::uint64_t> tokens;
    std::map<std::uint64_t, std::function<void()>> watches;
    std::uint64_t nextToken = 1;

    std::mutex threadLock;
    std::thread thread;
    std::atomic<bool> stopping{false};

    ~Core() {
        if (epollFd >= 0) ::close(epollFd);
        if (wakeFd >= 0) ::close(wakeFd);
    }

    bool ok() const { return epollFd >= 0 && wakeFd >= 0; }

    void ensureThread() {
        std::lock_guard lock(threadLock);
        if (thread.joinable() || stopping) return;
        // The thread keeps the core alive: it may outlive its TouchLoop (see ~TouchLoop).
        thread = std::thread([self = shared_from_this()] { self->run(); });
    }

    void wake() {
        std::uint64_t one = 1;
        ssize_t n;
        do {
            n = ::write(wakeFd, &one, sizeof one);
        } while (n < 0 && errno == EINTR);
    }

    void run() {
        epoll_event ready[16];
        while (!stopping) {
            int n = ::epoll_wait(epollFd, ready, 16, -1);
            if (n < 0) {
                if (errno == EINTR) continue;
                return;
            }
            for (int i = 0; i < n && !stopping; ++i) {
                std::uint64_t token = ready[i].data.u64;
                if (token == kWakeToken) {
                    std::uint64_t count;
                    [[maybe_unused]] ssize_t r = ::read(wakeFd, &count, sizeof count);
                    continue;
                }
                std::function<void()> watch;
                {
                    std::lock_guard lock(m);
                    if (auto w = watches.find(token); w != watches.end()) watch = w->second;
                }
                if (watch) {
                    watch();
                } else {
                    readDevice(token, (ready[i].events & (EPOLLERR | EPOLLHUP)) != 0);
                }
            }
        }
    }

    void readDevice(std::uint64_t token, bool hangup) {
        std::lock_guard lock(m);
        auto it = devices.find(token);
        if (it == devices.end()) return;
        std::shared_ptr<Device> d = it->second;
        input::InputEvent ev;
        for (int count = 0; count < kEventsPerTurn; ++count) {
            ReadResult r = d->reader->next(ev);
            if (r == ReadResult::event) {
                if (!d->assembler.feed(ev)) continue;
                const auto& frame = d->assembler.frame();
                d->fingersDown = !frame.empty();
                d->lastTime = d->assembler.frameTime();
                if (d->onRejected && !d->assembler.rejected().empty()) {
                    d->onRejected(d->assembler.rejected(), d->lastTime);
                }
                d->handler(frame.data(), static_cast<int>(frame.size()), d->lastTime);
                if (d->removed) return;  // the handler stopped it
                continue;
            }
            if (r == ReadResult::empty && !hangup) return;
            // Gone, failed, or a hang-up with nothing left to read.
            dropLocked(d);
            return;
        }
    }

    // Ends the device's gesture as if its fingers lifted, forgets it, tells its owner. By value:
    // the handler or the erase may free the table's copy, and this one keeps the device alive.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): the copy is what keeps d alive
    void dropLocked(std::shared_ptr<Device> d) {
        if (d->removed) return;
        if (d->fingersDown) {
            d->fingersDown = false;
            double t = std::max(d->lastTime, now ? now() : d->lastTime);
            d->handler(nullptr, 0, t);
        }
        if (d->removed) return;
        GoneHandler gone = d->onGone;
        eraseLocked(*d);
        if (gone) gone();
    }

    // Touches the device only before erasing it: the table's copy may be the last one.
    void eraseLocked(Device& d) {
        d.removed = true;
        ::epoll_ctl(epollFd, EPOLL_CTL_DEL, d.reader->fd(), nullptr);
        auto t = tokens.find(d.id);
        if (t != tokens.end()) {
            devices.erase(t->second);
            tokens.erase(t);
        }
    }
};

TouchLoop::TouchLoop(std::function<double()> now) : core_(std::make_shared<Core>()) {
    core_->now = std::move(now);
    core_->epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    core_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (core_->ok()) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = kWakeToken;
        if (::epoll_ctl(core_->epollFd, EPOLL_CTL_ADD, core_->wakeFd, &ev) != 0) {
            ::close(core_->wakeFd);
            core_->wakeFd = -1;
        }
    }
}

TouchLoop::~TouchLoop() {
    // Destroyed on the touch thread itself (the last owner let go inside a handler): the
    // thread cannot join itself, so it is told to stop and left to finish on its own.
    bool onLoopThread;
    {
        std::lock_guard lock(core_->threadLock);
        onLoopThread = core_->thread.joinable() && core_->thread.get_id() == std::this_thread::get_id();
        if (onLoopThread) {
            core_->stopping = true;
            core_->thread.detach();
        }
    }
    if (!onLoopThread) stop();
    std::lock_guard lock(core_->m);
    core_->devices.clear();
    core_->tokens.clear();
    core_->watches.clear();
}

bool TouchLoop::ok() const {
    return core_->ok();
}

bool TouchLoop::add(const std::string& id, std::unique_ptr<TouchpadReader> reader, FrameHandler handler,
                    GoneHandler onGone, RejectedHandler onRejected) {
    if (!core_->ok() || !reader || core_->stopping) return false;
    if (reader->info().unusableReason()) return false;
    int fd = reader->fd();
    {
        std::lock_guard lock(core_->m);
        if (core_->tokens.count(id)) return false;
        std::uint64_t token = core_->nextToken++;
        auto d = std::make_shared<Core::Device>(id, std::move(reader), std::move(handler), std::move(onGone),
                                                std::move(onRejected));
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = token;
        if (::epoll_ctl(core_->epollFd, EPOLL_CTL_ADD, fd, &ev) != 0) return false;
        core_->devices[token] = std::move(d);
        core_->tokens[id] = token;
    }
    core_->ensureThread();
    return true;
}

void TouchLoop::remove(const std::string& id) {
    std::shared_ptr<Core::Device> d;
    {
        std::lock_guard lock(core_->m);
        auto t = core_->tokens.find(id);
        if (t == core_->tokens.end()) return;
        d = core_->devices[t->second];
        core_->eraseLocked(*d);
    }
    // The reader (and its descriptor) closes when the last reference goes: here, or at the
    // end of a delivery in progress on the touch thread.
}

void TouchLoop::drop(const std::string& id) {
    std::lock_guard lock(core_->m);
    auto t = core_->tokens.find(id);
    if (t == core_->tokens.end()) return;
    core_->dropLocked(core_->devices[t->second]);
}

bool TouchLoop::watch(int fd, std::function<void()> onReadable) {
    if (!core_->ok() || fd < 0 || core_->stopping) return false;
    {
        std::lock_guard lock(core_->m);
        std::uint64_t token = core_->nextToken++;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = token;
        if (::epoll_ctl(core_->epollFd, EPOLL_CTL_ADD, fd, &ev) != 0) return false;
        core_->watches[token] = std::move(onReadable);
    }
    core_->ensureThread();
    return true;
}

void TouchLoop::stop() {
    std::thread t;
    {
        std::lock_guard lock(core_->threadLock);
        core_->stopping = true;
        if (core_->thread.joinable() && core_->thread.get_id() != std::this_thread::get_id())
            t = std::move(core_->thread);
    }
    if (core_->ok()) core_->wake();
    if (t.joinable()) t.join();
}

}  // namespace trellick::evdev
