// evemu: "E: <sec>.<usec> <type hex> <code hex> <value>" lines, optionally after a header of
// N: (name), I: (ids), P: (property bytes), B: (event bitmasks) and A: (axis) lines.
// Values may be zero-padded; '#' starts a comment.

#include <array>

#include "common/Text.h"
#include "input/ReaderSupport.h"

namespace trellick::input {
namespace {

using namespace detail;

constexpr std::int64_t i32min = -2147483648LL;
constexpr std::int64_t i32max = 2147483647LL;

std::string_view stripComment(std::string_view s) {
    auto hash = s.find('#');
    return hash == std::string_view::npos ? s : s.substr(0, hash);
}

// Parses the header lines; the E: lines go to `events` when given.
class EvemuParser {
public:
    EvemuParser(const std::string& file, DeviceInfo& device) : file_(file), device_(device) {}

    // False when the line is not a header line.
    bool header(char kind, std::string_view rest, int line) {
        switch (kind) {
        case 'N':
            device_.name = std::string(trim(rest));
            return true;
        case 'I':
            ids(rest, line);
            return true;
        case 'P':
            properties(rest, line);
            return true;
        case 'B':
            bitmask(rest, line);
            return true;
        case 'A':
            axis(rest, line);
            return true;
        case 'L':
        case 'S':
            state(kind, rest, line);
            return true;
        default:
            return false;
        }
    }

private:
    // "I: bus vendor product version": what quirks match the device by.
    void ids(std::string_view rest, int line) {
        auto t = tokens(stripComment(rest));
        if (t.size() != 4) fail(file_, line, "I: needs four hexadecimal numbers (bus vendor product version)");
        std::uint16_t v[4] = {};
        for (std::size_t i = 0; i < 4; ++i) {
            auto n = parseInt(t[i], 16, 0, 0xffff);
            if (!n) fail(file_, line, "I: " + text::quoted(t[i]) + " is not a 16-bit hexadecimal number");
            v[i] = std::uint16_t(*n);
        }
        device_.bus = v[0], device_.vendor = v[1], device_.product = v[2], device_.version = v[3];
        device_.idsKnown = true;
    }

    // "P: <byte>...": the input properties, eight to a byte, continued over several lines.
    void properties(std::string_view rest, int line) {
        for (auto tok : tokens(stripComment(rest))) {
            auto b = parseInt(tok, 16, 0, 0xff);
            if (!b) fail(file_, line, "P: " + text::quoted(tok) + " is not a hexadecimal byte");
            for (int bit = 0; bit < 8; ++bit) {
                std::size_t code = propBytes_ * 8 + std::size_t(bit);
                if (((*b >> bit) & 1) && code < device_.props.size()) device_.props.set(code);
            }
            ++propBytes_;
        }
    }

    // "B: <type> <byte>...": the codes of one event type, continued over several lines.
    void bitmask(std::string_view rest, int line) {
        auto t = tokens(stripComment(rest));
        if (t.empty()) fail(file_, line, "B: needs an event type and mask bytes");
        auto type = parseInt(t[0], 16, 0, EV_MAX);
        if (!type) fail(file_, line, "B: " + text::quoted(t[0]) + " is not an event type");
        for (std::size_t i = 1; i < t.size(); ++i) {
            auto b = parseInt(t[i], 16, 0, 0xff);
            if (!b) fail(file_, line, "B: " + text::quoted(t[i]) + " is not a hexadecimal byte");
            std::size_t byteIndex = maskBytes_[std::size_t(*type)]++;
            for (int bit = 0; bit < 8; ++bit) {
                if (!((*b >> bit) & 1)) continue;
                std::size_t code = byteIndex * 8 + std::size_t(bit);
                if (*type == EV_KEY && code < device_.keys.size()) device_.keys.set(code);
                if (*type == EV_ABS && code < device_.absCodes.size()) device_.absCodes.set(code);
            }
        }
    }

    // "A: <code> <min> <max> <fuzz> <flat> [<resolution>]".
    void axis(std::string_view rest, int line) {
        auto t = tokens(stripComment(rest));
        if (t.size() < 5 || t.size() > 6) {
            fail(file_, line, "A: needs an axis code and min max fuzz flat [resolution]");
        }
        auto code = parseInt(t[0], 16, 0, ABS_MAX);
        if (!code) fail(file_, line, "A: " + text::quoted(t[0]) + " is not an axis code");
        std::array<std::int64_t, 5> v{};
        for (std::size_t i = 1; i < t.size(); ++i) {
            auto n = parseInt(t[i], 10, i32min, i32max);
            if (!n) fail(file_, line, "A: " + text::quoted(t[i]) + " is not a 32-bit number");
            v[i - 1] = *n;
        }
        AbsAxis& a = device_.abs[std::size_t(*code)];
        a.known = true;
        a.minimum = std::int32_t(v[0]);
        a.maximum = std::int32_t(v[1]);
        a.resolution = std::int32_t(v[4]);
        device_.absCodes.set(std::size_t(*code));
    }

    // LED and switch states of newer evemu versions: "L: <code> <value>", checked, not kept.
    void state(char kind, std::string_view rest, int line) {
        auto t = tokens(stripComment(rest));
        if (t.size() != 2 || !parseInt(t[0], 16, 0, 0xffff) || !parseInt(t[1], 10, i32min, i32max)) {
            fail(file_, line, std::string(1, kind) + ": needs a code and a value");
        }
    }

    const std::string& file_;
    DeviceInfo& device_;
    std::size_t propBytes_ = 0;
    std::array<std::size_t, EV_MAX + 1> maskBytes_{};
};

void parseEvemu(std::string_view text, const std::string& file, DeviceInfo& device, EventCollector* events) {
    EvemuParser parser(file, device);
    Lines lines(text);
    std::string_view raw;
    while (lines.next(raw)) {
        int n = lines.number();
        auto line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (line.size() < 2 || line[1] != ':') {
            fail(file, n, "not an evemu line (expected E:, N:, I:, P:, B: or A:)");
        }
        char kind = line[0];
        auto rest = line.substr(2);
        if (kind == 'E') {
            if (!events) fail(file, n, "a device description has no events (E: lines)");
            auto t = tokens(stripComment(rest));
            if (t.size() != 4) fail(file, n, "E: needs a time, a type, a code and a value");
            auto time = parseTime(t[0]);
            if (!time) fail(file, n, "E: " + text::quoted(t[0]) + " is not a time (SECONDS.MICROSECONDS)");
            auto type = parseInt(t[1], 16, 0, 0xffff);
            if (!type) fail(file, n, "E: " + text::quoted(t[1]) + " is not a hexadecimal event type");
            auto code = parseInt(t[2], 16, 0, 0xffff);
            if (!code) fail(file, n, "E: " + text::quoted(t[2]) + " is not a hexadecimal event code");
            auto value = parseInt(t[3], 10, INT64_MIN / 4, INT64_MAX / 4);
            if (!value) fail(file, n, "E: " + text::quoted(t[3]) + " is not a decimal value");
            events->add(n, *time, *type, *code, *value);
        } else if (!parser.header(kind, rest, n)) {
            fail(file, n, "unknown line type " + text::quoted(std::string(1, kind) + ":"));
        }
    }
}

}  // namespace

Recording readEvemu(std::string_view text, const std::string& file) {
    Recording rec;
    rec.format = RecordingFormat::evemu;
    detail::EventCollector events(rec, file);
    parseEvemu(text, file, rec.device, &events);
    events.finish();
    return rec;
}

DeviceInfo readDeviceDescription(std::string_view text, const std::string& file) {
    DeviceInfo device;
    parseEvemu(text, file, device, nullptr);
    return device;
}

}  // namespace trellick::input
