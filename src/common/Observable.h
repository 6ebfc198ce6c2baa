#pragma once
// Observables of the core: a subscription hears the current value at once, then every
// assignment (equal values included). No Qt here: the core must stay checkable with TSan.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace trellick {

// Keeps a subscription alive; dropping it unsubscribes. Safe to outlive the source.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& o) noexcept : cancel_(std::exchange(o.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& o) noexcept {
        if (this != &o) {
            reset();
            cancel_ = std::exchange(o.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }
    void reset() {
        if (cancel_) std::exchange(cancel_, nullptr)();
    }

private:
    std::function<void()> cancel_;
};

// A list of callbacks. Not thread-safe: every signal of the core lives on the main thread.
template <typename... Args>
class Signal {
public:
    using Slot = std::function<void(const Args&...)>;

    Subscription connect(Slot slot) {
        auto id = state_->nextId++;
        auto entry = std::make_shared<Entry>(Entry{std::move(slot), true});
        state_->list.emplace_back(id, entry);
        std::weak_ptr<State> weak = state_;
        std::weak_ptr<Entry> weakEntry = entry;
        return Subscription([weak, weakEntry, id] {
            // Marked first: an emission in progress holds its own copy of the list and
            // must not call a slot whose owner has just let go of it.
            if (auto live = weakEntry.lock()) live->connected = false;
            if (auto s = weak.lock()) {
                std::erase_if(s->list, [id](const auto& e) { return e.first == id; });
            }
        });
    }

    void notify(const Args&... args) const {
        // Copy first: a slot may subscribe or unsubscribe while we iterate.
        auto entries = state_->list;
        for (auto& [id, entry] : entries) {
            if (entry->connected) entry->fn(args...);
        }
    }

    std::size_t size() const { return state_->list.size(); }

private:
    struct Entry {
        Slot fn;
        bool connected;
    };
    struct State {
        std::vector<std::pair<unsigned long, std::shared_ptr<Entry>>> list;
        unsigned long nextId = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

template <typename T>
class Observable {
public:
    Observable() = default;
    explicit Observable(T initial) : value_(std::move(initial)) {}

    const T& get() const { return value_; }
    const T& operator()() const { return value_; }

    void set(T value) {
        value_ = std::move(value);
        changed_.notify(value_);
    }

    // Replaces the value without telling anyone (used while an owner loads itself).
    void assignSilently(T value) { value_ = std::move(value); }

    // Delivers the current value immediately, then every later assignment.
    Subscription subscribe(std::function<void(const T&)> fn) {
        fn(value_);
        return changed_.connect(std::move(fn));
    }

private:
    T value_{};
    Signal<T> changed_;
};

// An observable setting that is written through to a store on every assignment.
template <typename T>
class Setting {
public:
    using Writer = std::function<void(const T&)>;

    Setting() = default;
    explicit Setting(Writer writer) : writer_(std::move(writer)) {}

    const T& get() const { return value_.get(); }
    const T& operator()() const { return value_.get(); }

    // Store (notifying observers), then write through. No comparison with the old value.
    void set(T value) {
        value_.set(std::move(value));
        if (writer_) writer_(value_.get());
    }

    Subscription subscribe(std::function<void(const T&)> fn) { return value_.subscribe(std::move(fn)); }

    // Used while loading: sets the value without writing it back or notifying anyone.
    void load(T value) { value_.assignSilently(std::move(value)); }
    // A value that arrived from the store (written there by someone else): observers hear it
    // as they hear an assignment, and nothing is written back.
    void adopt(T value) { value_.set(std::move(value)); }

private:
    Observable<T> value_;
    Writer writer_;
};

}  // namespace trellick
