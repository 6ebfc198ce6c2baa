#pragma once
// Which thread owns what, checked rather than only commented.
//
// - Data two threads share is GUARDED_BY a `Mutex`; clang's -Wthread-safety (the tsan build)
//   rejects any access made without holding it.
// - Data one thread owns is GUARDED_BY a `ThreadRole` ("the touch thread", "the main
//   thread"). A role binds to the first thread that checks it; in debug builds every later
//   check must come from that same thread or the process aborts with the function's name.
//   Entry points call check(), private helpers say REQUIRES(role), so the analysis also sees
//   that owned data is only reached through a checked entry. Release builds compile the
//   check out.

#include <mutex>

#ifndef NDEBUG
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#endif

#if defined(__clang__)
#define TRELLICK_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TRELLICK_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) TRELLICK_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY TRELLICK_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) TRELLICK_THREAD_ANNOTATION(guarded_by(x))
#define REQUIRES(...) TRELLICK_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) TRELLICK_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TRELLICK_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) TRELLICK_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) TRELLICK_THREAD_ANNOTATION(assert_capability(x))

namespace trellick {

// std::mutex as the analysis understands it.
class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { m_.lock(); }
    void unlock() RELEASE() { m_.unlock(); }

private:
    std::mutex m_;
};

// Holds a Mutex for the rest of the scope.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& m) ACQUIRE(m) : m_(m) { m_.lock(); }
    ~MutexLock() RELEASE() { m_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_;
};

class CAPABILITY("thread role") ThreadRole {
public:
#ifndef NDEBUG
    explicit ThreadRole(const char* name) : name_(name) {}
    // Binds the role to the calling thread if it is free; aborts if another thread has it.
    void check(const char* function = __builtin_FUNCTION()) const ASSERT_CAPABILITY(this) {
        std::thread::id self = std::this_thread::get_id();
        std::thread::id owner;
        if (owner_.compare_exchange_strong(owner, self) || owner == self) return;
        std::fprintf(stderr, "trellick: %s called off %s\n", function, name_);
        std::abort();
    }
    // Frees the role once its thread is known to call no more (its source has stopped).
    void unbind() {
        owner_.store(std::thread::id());
    }
#else
    explicit ThreadRole(const char*) {}
    void check(const char* = nullptr) const ASSERT_CAPABILITY(this) {}
    void unbind() {}
#endif
    ThreadRole(const ThreadRole&) = delete;
    ThreadRole& operator=(const ThreadRole&) = delete;

#ifndef NDEBUG
private:
    const char* name_;
    mutable std::atomic<std::thread::id> owner_;
#endif
};

}  // namespace trellick
