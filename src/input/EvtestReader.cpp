// evtest output: a header describing the device ("Event type 3 (EV_ABS)", "Event code 53
// (ABS_MT_POSITION_X)" with Min/Max lines, ...) and then one line per event:
//   Event: time 3043.333238, type 3 (EV_ABS), code 57 (ABS_MT_TRACKING_ID), value 31
//   Event: time 3043.333238, -------------- SYN_REPORT ------------

#include <cctype>

#include "common/Text.h"
#include "input/ReaderSupport.h"

namespace trellick::input {
namespace {

using namespace detail;

constexpr std::int64_t i32min = -2147483648LL;
constexpr std::int64_t i32max = 2147483647LL;

// Reads "<word> <number> (<name>)" from the front of `s`; the name is optional.
bool takeNumbered(std::string_view& s, std::string_view word, int base, std::int64_t& out) {
    s = trim(s);
    if (!startsWith(s, word)) return false;
    s = trim(s.substr(word.size()));
    std::size_t end = 0;
    while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end])) && s[end] != ',' && s[end] != '(') ++end;
    auto n = parseInt(s.substr(0, end), base, INT64_MIN / 4, INT64_MAX / 4);
    if (!n) return false;
    out = *n;
    s = trim(s.substr(end));
    if (!s.empty() && s[0] == '(') {
        auto close = s.find(')');
        if (close == std::string_view::npos) return false;
        s = trim(s.substr(close + 1));
    }
    return true;
}

bool takeComma(std::string_view& s) {
    s = trim(s);
    if (s.empty() || s[0] != ',') return false;
    s = s.substr(1);
    return true;
}

// The code a synchronisation line names between dashes, pluses or arrows.
std::int64_t synCode(std::string_view s, const std::string& file, int n) {
    if (s.find("SYN_MT_REPORT") != std::string_view::npos) return SYN_MT_REPORT;
    if (s.find("SYN_DROPPED") != std::string_view::npos) return SYN_DROPPED;
    if (s.find("SYN_REPORT") != std::string_view::npos || s.find("Report Sync") != std::string_view::npos) {
        return SYN_REPORT;
    }
    if (s.find("SYN_CONFIG") != std::string_view::npos || s.find("Config Sync") != std::string_view::npos) {
        return SYN_CONFIG;
    }
    fail(file, n, "unrecognised event line");
}

// "Event: time SECONDS, type N (NAME), code N (NAME), value N", or a synchronisation line.
void readEvent(std::string_view line, const std::string& file, int n, EventCollector& events) {
    std::string_view s = trim(line.substr(6));
    if (!startsWith(s, "time")) fail(file, n, "expected 'Event: time SECONDS, ...'");
    s = trim(s.substr(4));
    auto comma = s.find(',');
    if (comma == std::string_view::npos) fail(file, n, "expected a ',' after the event time");
    auto time = parseTime(trim(s.substr(0, comma)));
    if (!time) fail(file, n, text::quoted(trim(s.substr(0, comma))) + " is not a time (SECONDS.MICROSECONDS)");
    s = trim(s.substr(comma + 1));
    std::int64_t type = 0, code = 0, value = 0;
    if (startsWith(s, "type")) {
        if (!takeNumbered(s, "type", 10, type) || !takeComma(s)) fail(file, n, "expected 'type N (NAME),'");
        if (!takeNumbered(s, "code", 10, code) || !takeComma(s)) fail(file, n, "expected 'code N (NAME),'");
        s = trim(s);
        if (!startsWith(s, "value")) fail(file, n, "expected 'value N'");
        s = trim(s.substr(5));
        // evtest prints scan codes in hexadecimal.
        bool hex = type == EV_MSC && (code == MSC_SCAN || code == MSC_RAW);
        auto v = parseInt(s, hex ? 16 : 10, INT64_MIN / 4, INT64_MAX / 4);
        if (!v) fail(file, n, text::quoted(s) + " is not an event value");
        value = *v;
    } else {
        type = EV_SYN;
        code = synCode(s, file, n);
    }
    events.add(n, *time, type, code, value);
}

// The header. Only the lines that describe axes and keys matter; evtest versions differ in the
// rest ("Input driver version", "Testing ...", key repeat settings...).
class EvtestHeader {
public:
    EvtestHeader(const std::string& file, DeviceInfo& dev) : file_(file), dev_(dev) {}

    void line(std::string_view s, int n) {
        std::int64_t num = 0;
        if (startsWith(s, "Event type")) {
            s = s.substr(6);
            if (!takeNumbered(s, "type", 10, num) || num < 0 || num > EV_MAX)
                fail(file_, n, "expected 'Event type N (NAME)'");
            type_ = num;
            code_ = -1;
        } else if (startsWith(s, "Event code")) {
            eventCode(s.substr(6), n);
        } else if (type_ == EV_ABS && code_ >= 0 &&
                   (startsWith(s, "Min") || startsWith(s, "Max") || startsWith(s, "Resolution"))) {
            axisValue(s, n);
        } else if (startsWith(s, "Input device name:")) {
            auto name = trim(s.substr(18));
            if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
            dev_.name = std::string(name);
        } else if (startsWith(s, "Input device ID:")) {
            deviceIds(s.substr(16));
        } else if (startsWith(s, "Property type")) {
            s = s.substr(9);
            if (takeNumbered(s, "type", 10, num) && num >= 0 && num < INPUT_PROP_CNT) dev_.props.set(std::size_t(num));
        } else if (startsWith(s, "Properties:") || startsWith(s, "Supported events:")) {
            type_ = -1;
            code_ = -1;
        }
    }

private:
    // "bus 0x18 vendor 0x6cb product 0x76af version 0x100": what quirks match the device by.
    void deviceIds(std::string_view s) {
        std::uint16_t v[4] = {};
        int found = 0;
        for (const char* key : {"bus", "vendor", "product", "version"}) {
            s = trim(s);
            if (!startsWith(s, key)) return;
            s = trim(s.substr(std::string_view(key).size()));
            auto end = s.find(' ');
            auto n = parseInt(s.substr(0, end), 16, 0, 0xffff);
            if (!n) return;
            v[found++] = std::uint16_t(*n);
            s = end == std::string_view::npos ? std::string_view() : s.substr(end);
        }
        dev_.bus = v[0], dev_.vendor = v[1], dev_.product = v[2], dev_.version = v[3];
        dev_.idsKnown = true;
    }

    // "code N (NAME)" of an "Event code" line: a key or an axis of the current event type.
    void eventCode(std::string_view s, int n) {
        std::int64_t num = 0;
        if (!takeNumbered(s, "code", 10, num) || num < 0 || num > KEY_MAX)
            fail(file_, n, "expected 'Event code N (NAME)'");
        code_ = num;
        if (type_ == EV_KEY) dev_.keys.set(std::size_t(num));
        if (type_ == EV_ABS) {
            if (num > ABS_MAX) fail(file_, n, "axis code " + std::to_string(num) + " is out of range");
            dev_.absCodes.set(std::size_t(num));
        }
    }

    // "Min N", "Max N" or "Resolution N" of the current axis.
    void axisValue(std::string_view s, int n) {
        auto t = tokens(s);
        std::optional<std::int64_t> v;
        if (t.size() == 2) v = parseInt(t[1], 10, i32min, i32max);
        if (!v) fail(file_, n, "expected " + text::quoted(std::string(t.empty() ? s : t[0]) + " N"));
        AbsAxis& a = dev_.abs[std::size_t(code_)];
        if (t[0] == "Min") {
            a.minimum = std::int32_t(*v);
        } else if (t[0] == "Max") {
            a.maximum = std::int32_t(*v);
            a.known = true;  // evtest prints Min before Max
        } else {
            a.resolution = std::int32_t(*v);
        }
    }

    const std::string& file_;
    DeviceInfo& dev_;
    std::int64_t type_ = -1;
    std::int64_t code_ = -1;
};

}  // namespace

Recording readEvtest(std::string_view text, const std::string& file) {
    Recording rec;
    rec.format = RecordingFormat::evtest;
    EventCollector events(rec, file);
    EvtestHeader header(file, rec.device);

    Lines lines(text);
    std::string_view raw;
    bool inEvents = false;
    while (lines.next(raw)) {
        int n = lines.number();
        auto line = trim(raw);
        if (line.empty()) continue;
        if (startsWith(line, "Event:")) {
            inEvents = true;
            readEvent(line, file, n, events);
            continue;
        }
        if (inEvents) fail(file, n, "expected an 'Event:' line");
        header.line(line, n);
    }
    events.finish();
    return rec;
}

}  // namespace trellick::input
