#pragma once
// The outcome of a platform call that can fail: its value, or an Error saying why.
//
// How each layer reports a failure (one way per layer):
// - Readers of files and text (input/: recordings, scenarios, device descriptions) throw
//   input::RecordingError, whose message starts with "FILE:LINE: "; the command that called
//   them prints it and exits with status 2.
// - Platform calls that can fail for a reason someone reports (platform/, and the interfaces of
//   the core that platform code implements, such as LoginItemService) return Result<T>: the
//   value, or an Error with the reason ("could not write /x/y: No space left on device") and,
//   where the system gave one, its errno for callers that act on the kind of failure.
// - A plain bool only where nobody is told why: a request the logic absorbs and retries at the
//   next natural occasion (activate a window, start a touchpad, make a grab). Where a reason
//   exists, the platform side logs it (common/Log.h) as it happens.
// - The logic (settings, tracking, gesture) throws nothing and returns no errors: it absorbs
//   platform failures as its interfaces describe. Its one log line of a failure is the login
//   item's ("Trellick: failed to update login item: " and the Error's reason).

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace trellick {

struct Error {
    std::string reason;  // a phrase for a message, without "Trellick:" or a final full stop
    int code = 0;        // errno where the system gave one, else 0
};

template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only when ok().
    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    // Why it failed; only when !ok().
    const Error& error() const {
        assert(!ok());
        return std::get<1>(state_);
    }

private:
    std::variant<T, Error> state_;
};

// A call that returns nothing but can fail: `return {};` on success, `return Error{...};` else.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const {
        assert(failed_);
        return error_;
    }

private:
    Error error_;
    bool failed_ = false;
};

}  // namespace trellick
