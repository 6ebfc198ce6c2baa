#pragma once
// Helpers shared by the recording readers (internal to replay/).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "input/Recording.h"

namespace trellick::input::detail {

std::string_view trim(std::string_view s);
bool startsWith(std::string_view s, std::string_view prefix);
// Whitespace-separated tokens.
std::vector<std::string_view> tokens(std::string_view s);

// Whole-token integers in the given base; leading zeros and a sign are fine. Empty when the
// token is not a number or does not fit in [lo, hi].
std::optional<std::int64_t> parseInt(std::string_view token, int base, std::int64_t lo, std::int64_t hi);
// Later times cannot be held in nanoseconds (the year 2255 is far enough).
inline constexpr std::int64_t maxTimeSeconds = 9'000'000'000;
// "SECONDS.FRACTION" (fraction optional, up to 9 digits) as nanoseconds.
std::optional<std::int64_t> parseTime(std::string_view token);

// Splits text into lines, numbered from 1, without their line ends.
class Lines {
public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next(std::string_view& line);
    int number() const { return number_; }

private:
    std::string_view rest_;
    int number_ = 0;
    bool done_ = false;
};

// Collects events in file order: checks codes and times, makes times relative to the first
// event and notes which codes the recording uses.
class EventCollector {
public:
    // An hour of a busy touchpad is about 4 million events.
    static constexpr std::size_t maxEvents = 10'000'000;

    EventCollector(Recording& recording, const std::string& file) : rec_(recording), file_(file) {}
    // Throws RecordingError naming `line` when the event is impossible.
    void add(int line, std::int64_t timeNs, std::int64_t type, std::int64_t code, std::int64_t value);
    // Folds the codes seen into the device description.
    void finish();

private:
    Recording& rec_;
    const std::string& file_;
    std::optional<std::int64_t> firstNs_;
    std::int64_t lastNs_ = 0;
    bool sawMtReport_ = false;
};

// The text of a regular file of at most `limit` bytes, read in blocks so that a binary file
// is caught by its first NUL byte instead of being read whole. Only regular files are opened:
// opening a FIFO waits for a writer that may never come, and a device can have effects. A file
// over the limit fails with EFBIG before it is read.
Result<std::string> readText(const std::string& path, std::size_t limit);

[[noreturn]] void fail(const std::string& file, int line, const std::string& problem);

// Adds what `extra` declares to `base` where `base` lacks it (ranges, codes, name).
void mergeDeclared(DeviceInfo& base, const DeviceInfo& extra);

}  // namespace trellick::input::detail
