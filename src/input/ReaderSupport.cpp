#include "input/ReaderSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>

namespace trellick::input {

RecordingError::RecordingError(std::string file, int line, const std::string& problem)
    : std::runtime_error(line > 0 ? file + ":" + std::to_string(line) + ": " + problem : file + ": " + problem),
      file_(std::move(file)),
      line_(line) {}

namespace detail {

void fail(const std::string& file, int line, const std::string& problem) {
    throw RecordingError(file, line, problem);
}

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

std::vector<std::string_view> tokens(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        std::size_t b = i;
        while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (i > b) out.push_back(s.substr(b, i - b));
    }
    return out;
}

std::optional<std::int64_t> parseInt(std::string_view t, int base, std::int64_t lo, std::int64_t hi) {
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        negative = t[i] == '-';
        ++i;
    }
    if (base == 16 && t.size() >= i + 2 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) i += 2;
    if (i >= t.size()) return std::nullopt;
    // Accumulate as unsigned with a generous cap, so overlong input is rejected, not wrapped.
    constexpr std::uint64_t cap = std::uint64_t(1) << 62;
    std::uint64_t v = 0;
    for (; i < t.size(); ++i) {
        int d;
        char c = t[i];
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        v = v * std::uint64_t(base) + std::uint64_t(d);
        if (v > cap) return std::nullopt;
    }
    std::int64_t r = negative ? -std::int64_t(v) : std::int64_t(v);
    if (r < lo || r > hi) return std::nullopt;
    return r;
}

std::optional<std::int64_t> parseTime(std::string_view t) {
    auto dot = t.find('.');
    std::string_view whole = t.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view{} : t.substr(dot + 1);
    if (whole.empty() || whole.size() > 10 || frac.size() > 9) return std::nullopt;
    if (dot != std::string_view::npos && frac.empty()) return std::nullopt;
    std::int64_t sec = 0;
    for (char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        sec = sec * 10 + (c - '0');
    }
    if (sec > maxTimeSeconds) return std::nullopt;  // nanoseconds must fit in 64 bits
    std::int64_t ns = 0;
    std::int64_t scale = 100'000'000;
    for (char c : frac) {
        if (c < '0' || c > '9') return std::nullopt;
        ns += (c - '0') * scale;
        scale /= 10;
    }
    return sec * 1'000'000'000 + ns;
}

bool Lines::next(std::string_view& line) {
    if (done_) return false;
    auto nl = rest_.find('\n');
    if (nl == std::string_view::npos) {
        if (rest_.empty()) {
            done_ = true;
            return false;
        }
        line = rest_;
        rest_ = {};
        done_ = true;
    } else {
        line = rest_.substr(0, nl);
        rest_ = rest_.substr(nl + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
}

void EventCollector::add(int line, std::int64_t timeNs, std::int64_t type, std::int64_t code, std::int64_t value) {
    if (type < 0 || type > EV_MAX) fail(file_, line, "event type " + std::to_string(type) + " is out of range");
    std::int64_t maxCode = type == EV_ABS ? ABS_MAX : type == EV_SYN ? SYN_MAX : KEY_MAX;
    if (code < 0 || code > maxCode) {
        fail(file_, line, "event code " + std::to_string(code) + " is out of range for type " + std::to_string(type));
    }
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        fail(file_, line, "event value " + std::to_string(value) + " does not fit in 32 bits");
    }
    if (!firstNs_) {
        firstNs_ = timeNs;
        lastNs_ = timeNs;
    }
    if (timeNs < lastNs_) fail(file_, line, "time goes backwards");
    lastNs_ = timeNs;
    if (rec_.events.size() >= maxEvents) fail(file_, line, "too many events");
    InputEvent e;
    e.time = double(timeNs - *firstNs_) / 1e9;
    e.type = std::uint16_t(type);
    e.code = std::uint16_t(code);
    e.value = std::int32_t(value);
    rec_.events.push_back(e);
    if (type == EV_KEY) rec_.device.keys.set(std::size_t(code));
    if (type == EV_ABS) rec_.device.absCodes.set(std::size_t(code));
    if (type == EV_SYN && code == SYN_MT_REPORT) sawMtReport_ = true;
}

void EventCollector::finish() {
    // Protocol A streams are recognised by their contact separators: a device description
    // alone cannot tell a slot-less recording from one that never used a second slot.
    rec_.device.protocolA = sawMtReport_;
}

namespace {

Result<> regularFile(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return Error{"it is a directory, not a file", EISDIR};
    if (!S_ISREG(st.st_mode)) return Error{"it is not a regular file", EINVAL};
    return {};
}

Error tooLarge(std::int64_t size, std::size_t limit) {
    return Error{std::to_string((size + (1 << 20) - 1) >> 20) + " MiB; a text file may hold at most " +
                     std::to_string(limit >> 20) + " MiB",
                 EFBIG};
}

}  // namespace

Result<std::string> readText(const std::string& path, std::size_t limit) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Error{std::strerror(errno), errno};
    if (auto regular = regularFile(st); !regular) return regular.error();
    // Non-blocking, and checked again once open, for a FIFO swapped in meanwhile.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return Error{std::strerror(errno), errno};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0) return Error{std::strerror(errno), errno};
    if (auto regular = regularFile(st); !regular) return regular.error();
    if (static_cast<std::size_t>(st.st_size) > limit) return tooLarge(st.st_size, limit);
    std::string text;
    // One allocation of the right size: growing by doubling could hold twice the file.
    text.reserve(static_cast<std::size_t>(st.st_size));
    char block[65536];
    for (;;) {
        ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Error{std::strerror(errno), errno};
        if (n == 0) return text;
        if (std::memchr(block, '\0', static_cast<std::size_t>(n))) {
            return Error{"it is not a text file (it holds binary data)"};
        }
        if (text.size() + static_cast<std::size_t>(n) > limit)
            return tooLarge(static_cast<std::int64_t>(text.size()) + n, limit);
        text.append(block, static_cast<std::size_t>(n));
    }
}

void mergeDeclared(DeviceInfo& base, const DeviceInfo& extra) {
    if (base.name.empty()) base.name = extra.name;
    if (!base.idsKnown && extra.idsKnown) {
        base.bus = extra.bus, base.vendor = extra.vendor, base.product = extra.product, base.version = extra.version;
        base.idsKnown = true;
    }
    for (std::size_t i = 0; i < base.abs.size(); ++i) {
        if (!base.abs[i].known && extra.abs[i].known) base.abs[i] = extra.abs[i];
    }
    base.absCodes |= extra.absCodes;
    base.keys |= extra.keys;
    base.props |= extra.props;
}

}  // namespace detail
}  // namespace trellick::input
