// `libinput record` YAML: devices[].evdev describes a device (name, codes, absinfo,
// properties); devices[].events[] holds frames as {evdev: [[sec, usec, type, code, value]...]}.
// Keys this reader does not use are ignored, as the format asks.

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <sstream>

#include "common/Text.h"
#include "input/ReaderSupport.h"

namespace trellick::input {
namespace {

using namespace detail;

constexpr std::int64_t i32min = -2147483648LL;
constexpr std::int64_t i32max = 2147483647LL;

int lineOf(const YAML::Node& node) {
    auto mark = node.Mark();
    return mark.is_null() ? 0 : mark.line + 1;
}

std::int64_t intOf(const YAML::Node& node, std::int64_t lo, std::int64_t hi, const std::string& file,
                   const char* what) {
    if (!node.IsScalar()) fail(file, lineOf(node), std::string(what) + " must be a number");
    auto v = parseInt(trim(node.Scalar()), 10, lo, hi);
    if (!v)
        fail(file, lineOf(node), std::string(what) + " " + text::quoted(node.Scalar()) + " is not a number in range");
    return *v;
}

void readDevice(const YAML::Node& evdev, DeviceInfo& dev, const std::string& file) {
    if (!evdev.IsMap()) fail(file, lineOf(evdev), "'evdev' must be a mapping");
    if (auto name = evdev["name"]; name && name.IsScalar()) dev.name = name.Scalar();
    if (auto id = evdev["id"]; id && id.IsSequence() && id.size() == 4) {
        dev.bus = std::uint16_t(intOf(id[0], 0, 0xffff, file, "a bus type"));
        dev.vendor = std::uint16_t(intOf(id[1], 0, 0xffff, file, "a vendor id"));
        dev.product = std::uint16_t(intOf(id[2], 0, 0xffff, file, "a product id"));
        dev.version = std::uint16_t(intOf(id[3], 0, 0xffff, file, "a version"));
        dev.idsKnown = true;
    }
    if (auto codes = evdev["codes"]; codes) {
        if (!codes.IsMap()) fail(file, lineOf(codes), "'codes' must map event types to lists of codes");
        for (auto it = codes.begin(); it != codes.end(); ++it) {
            const YAML::Node key = it->first;
            const YAML::Node list = it->second;
            auto type = intOf(key, 0, EV_MAX, file, "an event type");
            if (!list.IsSequence()) fail(file, lineOf(list), "the codes of a type must be a list");
            for (const auto& c : list) {
                auto code = intOf(c, 0, KEY_MAX, file, "an event code");
                if (type == EV_KEY) dev.keys.set(std::size_t(code));
                if (type == EV_ABS && code <= ABS_MAX) dev.absCodes.set(std::size_t(code));
            }
        }
    }
    if (auto absinfo = evdev["absinfo"]; absinfo) {
        if (!absinfo.IsMap())
            fail(file, lineOf(absinfo), "'absinfo' must map axis codes to [min, max, fuzz, flat, resolution]");
        for (auto it = absinfo.begin(); it != absinfo.end(); ++it) {
            const YAML::Node key = it->first;
            const YAML::Node v = it->second;
            auto code = intOf(key, 0, ABS_MAX, file, "an axis code");
            if (!v.IsSequence() || v.size() < 2) fail(file, lineOf(v), "an axis needs at least [min, max]");
            AbsAxis& a = dev.abs[std::size_t(code)];
            a.known = true;
            a.minimum = std::int32_t(intOf(v[0], i32min, i32max, file, "an axis minimum"));
            a.maximum = std::int32_t(intOf(v[1], i32min, i32max, file, "an axis maximum"));
            if (v.size() >= 5) a.resolution = std::int32_t(intOf(v[4], i32min, i32max, file, "an axis resolution"));
            dev.absCodes.set(std::size_t(code));
        }
    }
    if (auto props = evdev["properties"]; props) {
        if (!props.IsSequence()) fail(file, lineOf(props), "'properties' must be a list");
        for (const auto& p : props) {
            auto prop = intOf(p, 0, 0xffff, file, "a property");
            if (prop < INPUT_PROP_CNT) dev.props.set(std::size_t(prop));
        }
    }
}

// The format never uses aliases, and an alias can stand for a whole list: a small file could
// otherwise expand into an enormous recording. Found in a first, cheap pass of events.
class AliasFinder : public YAML::EventHandler {
public:
    std::optional<YAML::Mark> alias;
    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override {
        if (!alias) alias = mark;
    }
    void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t, const std::string&) override {}
    void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {}
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {}
    void OnMapEnd() override {}
};

bool isTouchpad(const YAML::Node& device) {
    // A missing key gives an invalid node: test it before asking its type.
    if (!device.IsMap()) return false;
    const YAML::Node evdev = device["evdev"];
    if (!evdev || !evdev.IsMap()) return false;
    const YAML::Node codes = evdev["codes"];
    if (!codes || !codes.IsMap()) return false;
    auto abs = codes["3"];
    if (!abs || !abs.IsSequence()) return false;
    for (const auto& c : abs) {
        if (c.IsScalar() && trim(c.Scalar()) == "53") return true;
    }
    return false;
}

}  // namespace

Recording readLibinputRecord(std::string_view text, const std::string& file) {
    Recording rec;
    rec.format = RecordingFormat::libinputRecord;
    try {
        std::string copy(text);
        {
            std::istringstream in(copy);
            YAML::Parser parser(in);
            AliasFinder finder;
            parser.HandleNextDocument(finder);
            if (finder.alias) fail(file, finder.alias->line + 1, "aliases have no place in a 'libinput record' file");
        }
        const YAML::Node root = YAML::Load(copy);
        if (!root.IsMap()) fail(file, lineOf(root), "not a 'libinput record' file (expected a mapping at the top)");
        const YAML::Node devices = root["devices"];
        if (!devices || !devices.IsSequence() || devices.size() == 0) {
            fail(file, lineOf(root), "no 'devices' list");
        }
        // A recording of several devices: use the first touchpad in it.
        std::size_t chosen = 0;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (isTouchpad(devices[i])) {
                chosen = i;
                break;
            }
        }
        const YAML::Node device = devices[chosen];
        if (!device.IsMap()) fail(file, lineOf(device), "a device must be a mapping");
        if (auto evdev = device["evdev"]; evdev) readDevice(evdev, rec.device, file);

        EventCollector events(rec, file);
        if (auto list = device["events"]; list) {
            if (!list.IsSequence()) fail(file, lineOf(list), "'events' must be a list");
            for (const auto& item : list) {
                if (!item.IsMap()) fail(file, lineOf(item), "an events entry must be a mapping");
                auto frame = item["evdev"];
                if (!frame) continue;  // libinput or hid entries
                if (!frame.IsSequence()) fail(file, lineOf(frame), "'evdev' events must be a list");
                for (const auto& ev : frame) {
                    if (!ev.IsSequence() || ev.size() != 5) {
                        fail(file, lineOf(ev), "an event must be [sec, usec, type, code, value]");
                    }
                    auto sec = intOf(ev[0], 0, maxTimeSeconds, file, "the seconds");
                    auto usec = intOf(ev[1], 0, 999'999, file, "the microseconds");
                    auto type = intOf(ev[2], 0, 0xffff, file, "the event type");
                    auto code = intOf(ev[3], 0, 0xffff, file, "the event code");
                    auto value = intOf(ev[4], INT64_MIN / 4, INT64_MAX / 4, file, "the event value");
                    events.add(lineOf(ev), sec * 1'000'000'000 + usec * 1000, type, code, value);
                }
            }
        }
        events.finish();
    } catch (const YAML::Exception& e) {
        int line = e.mark.is_null() ? 0 : e.mark.line + 1;
        throw RecordingError(file, line, e.msg.empty() ? std::string("invalid YAML") : e.msg);
    }
    return rec;
}

}  // namespace trellick::input
