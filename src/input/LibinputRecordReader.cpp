// `libinput record` YAML: devices[].evdev describes a device (name, codes, absinfo,
// properties); devices[].events[] holds frames as {evdev: [[sec, usec, type, code, value]...]}.
// Keys this reader does not use are ignored, as the format asks.
//
// Read as a stream of parser events, never as a document tree: a tree costs some 40 times the
// file; the stream, the events kept (16 bytes each) and yaml-cpp's bookkeeping (some 50 bytes a
// line). The checks are those of a reader that looks a key up in a mapping (its first occurrence
// counts) and walks lists in order; a problem is kept, not thrown, until the device the
// recording is read for is known.

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <istream>
#include <memory>
#include <streambuf>

#include "common/Text.h"
#include "input/ReaderSupport.h"

namespace trellick::input {
namespace {

using namespace detail;

constexpr std::int64_t i32min = -2147483648LL;
constexpr std::int64_t i32max = 2147483647LL;

// What the parser told of one node: enough for the checks.
struct Node {
    enum Kind { none, null, scalar, sequence, map, alias } kind = none;
    int line = 0;
    std::string text;  // a scalar's
};

using Problem = std::optional<RecordingError>;

// What is known of one device so far. Its problems wait in the order a reader of the whole
// document would meet them: its 'evdev' entry, the ids, codes, axes and properties, then events.
struct Device {
    enum Slot { evdevSlot, idSlot, codesSlot, absinfoSlot, propsSlot, eventsSlot, slots };
    explicit Device(const std::string& file) : file(file), events(rec, file) {}
    const std::string& file;
    Recording rec;
    EventCollector events;
    Node self;
    std::size_t index = 0;
    bool touchpad = false;          // codes["3"] lists ABS_MT_POSITION_X
    bool knownNotTouchpad = false;  // its 'evdev' entry has been read and says no
    bool collecting = true;         // its events are wanted and sound so far
    std::array<Problem, slots> problems;

    void note(Slot slot, int line, const std::string& problem) {
        if (!problems[slot]) problems[slot].emplace(file, line, problem);
        if (slot == eventsSlot) collecting = false;
    }
    std::optional<std::int64_t> intOf(Slot slot, const Node& node, std::int64_t lo, std::int64_t hi, const char* what) {
        if (node.kind != Node::scalar) {
            note(slot, node.line, std::string(what) + " must be a number");
            return std::nullopt;
        }
        auto v = parseInt(trim(node.text), 10, lo, hi);
        if (!v) note(slot, node.line, std::string(what) + " " + text::quoted(node.text) + " is not a number in range");
        return v;
    }
};

// What an open mapping or list stands for.
enum class Role {
    skip,        // not read (and everything inside it)
    document,    // holds the top node
    top,         // the top mapping
    devices,     // top["devices"]
    device,      // devices[i]
    evdev,       // device["evdev"]
    name,        // evdev["name"]
    id,          // evdev["id"]
    codes,       // evdev["codes"]
    codeList,    // codes[type]
    absinfo,     // evdev["absinfo"]
    axis,        // absinfo[code]
    properties,  // evdev["properties"]
    events,      // device["events"]
    entry,       // events[j]
    frame,       // entry["evdev"]
    event,       // frame[k]
};

struct Open {
    Role role = Role::skip;
    Node self;
    bool haveKey = false;         // a mapping's key has been read; its value comes next
    Role valueRole = Role::skip;  // what the value of that key stands for
    unsigned seen = 0;            // the keys already met whose first occurrence counts
    std::size_t count = 0;        // the nodes a list holds so far
    std::array<Node, 5> items;    // the first ones (id, axis, event)
    std::int64_t number = -1;     // a code list's event type, an axis's code
    bool touchpadList = false;    // the code list touchpad detection reads
};

class Reader : public YAML::EventHandler {
public:
    explicit Reader(const std::string& file) : file_(file) {
        stack_.emplace_back();
        stack_.back().role = Role::document;
    }

    Recording finish() {
        if (alias_) fail(file_, *alias_, "aliases have no place in a 'libinput record' file");
        if (top_.kind != Node::map)
            fail(file_, top_.line, "not a 'libinput record' file (expected a mapping at the top)");
        if (!devicesListed_ || deviceCount_ == 0 || !(touchpad_ || first_)) fail(file_, top_.line, "no 'devices' list");
        // A recording of several devices: the first touchpad in it, else the first device.
        Device& dev = touchpad_ ? *touchpad_ : *first_;
        if (dev.self.kind != Node::map) fail(file_, dev.self.line, "a device must be a mapping");
        for (const auto& problem : dev.problems) {
            if (problem) throw *problem;
        }
        dev.events.finish();
        Recording rec = std::move(dev.rec);
        rec.format = RecordingFormat::libinputRecord;
        return rec;
    }

    void OnDocumentStart(const YAML::Mark&) override {}
    void OnDocumentEnd() override {}
    // Where the last node reported begins: the parser has read at least that far.
    std::size_t lastPosition() const { return lastPos_; }
    int lastLine() const { return lastLine_; }

    void OnNull(const YAML::Mark& mark, YAML::anchor_t) override { leaf(Node{Node::null, at(mark), {}}); }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t) override {
        // The format never uses aliases, and an alias can stand for a whole list: a small file
        // could otherwise stand for an enormous recording.
        if (!alias_) alias_ = at(mark);
        leaf(Node{Node::alias, at(mark), {}});
    }
    void OnScalar(const YAML::Mark& mark, const std::string&, YAML::anchor_t, const std::string& value) override {
        leaf(Node{Node::scalar, at(mark), value});
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t,
                         YAML::EmitterStyle::value) override {
        start(Node{Node::sequence, at(mark), {}});
    }
    void OnSequenceEnd() override { end(); }
    void OnMapStart(const YAML::Mark& mark, const std::string&, YAML::anchor_t, YAML::EmitterStyle::value) override {
        start(Node{Node::map, at(mark), {}});
    }
    void OnMapEnd() override { end(); }

private:
    // The line of a node, noting how far the parser has come.
    int at(const YAML::Mark& mark) {
        if (mark.is_null()) return 0;
        lastPos_ = std::size_t(std::max(mark.pos, 0));
        lastLine_ = mark.line + 1;
        return lastLine_;
    }

    static Node::Kind kindOf(Role role) {
        switch (role) {
        case Role::top:
        case Role::device:
        case Role::evdev:
        case Role::codes:
        case Role::absinfo:
        case Role::entry:
            return Node::map;
        case Role::devices:
        case Role::id:
        case Role::codeList:
        case Role::axis:
        case Role::properties:
        case Role::events:
        case Role::frame:
        case Role::event:
            return Node::sequence;
        case Role::name:
            return Node::scalar;
        default:
            return Node::none;
        }
    }

    // What a node inside `parent` should be.
    Role expectedIn(const Open& parent) const {
        if (parent.role == Role::skip) return Role::skip;
        if (parent.self.kind == Node::map)
            return parent.haveKey ? parent.valueRole : Role::skip;  // keys are not walked
        return itemRole(parent);
    }

    // The role of a mapping or list starting inside `parent`.
    Role roleOf(const Open& parent, const Node& node) const {
        Role expected = expectedIn(parent);
        if (kindOf(expected) != node.kind) return Role::skip;
        if (expected == Role::device && touchpad_) return Role::skip;  // the touchpad is known
        return expected;
    }

    Role itemRole(const Open& list) const {
        switch (list.role) {
        case Role::document:
            return list.count == 0 ? Role::top : Role::skip;
        case Role::devices:
            return Role::device;
        case Role::events:
            return current_ && current_->collecting ? Role::entry : Role::skip;
        case Role::frame:
            return current_ && current_->collecting ? Role::event : Role::skip;
        default:
            return Role::skip;
        }
    }

    void leaf(const Node& node) {
        arrived(stack_.back(), node, Role::skip);
        done(stack_.back(), node);
    }

    void start(const Node& node) {
        Open& parent = stack_.back();
        Role role = roleOf(parent, node);
        arrived(parent, node, role);
        Open open;
        open.role = role;
        open.self = node;
        if (role == Role::codeList) {
            open.number = parent.number;
            open.touchpadList = parent.touchpadList;
        }
        if (role == Role::axis) open.number = parent.number;
        stack_.push_back(std::move(open));
    }

    void end() {
        Open open = std::move(stack_.back());
        stack_.pop_back();
        closed(open);
        done(stack_.back(), open.self);
    }

    // A node begins inside `parent` (for a leaf, it is whole): the checks that need only its kind.
    void arrived(Open& parent, const Node& node, Role role) {
        Role expected = expectedIn(parent);
        if (expected == Role::skip) return;
        if (parent.role == Role::document && parent.count == 0) top_ = node;
        if (parent.role == Role::devices) {
            if (parent.count == 0 || role == Role::device) {
                auto dev = std::make_unique<Device>(file_);
                dev->self = node;
                dev->index = parent.count;
                // A mapping is read as it comes; a first device of another kind is kept for the
                // error it gives when no touchpad follows.
                if (role == Role::device)
                    current_ = std::move(dev);
                else
                    first_ = std::move(dev);
            }
            return;
        }
        Device* dev = current_.get();
        if (!dev || role == expected) return;  // as it should be
        switch (expected) {
        case Role::name:
            if (node.kind == Node::scalar) dev->rec.device.name = node.text;
            break;
        case Role::evdev:
            dev->note(Device::evdevSlot, node.line, "'evdev' must be a mapping");
            dev->knownNotTouchpad = true;
            break;
        case Role::codes:
            dev->note(Device::codesSlot, node.line, "'codes' must map event types to lists of codes");
            break;
        case Role::codeList:
            dev->note(Device::codesSlot, node.line, "the codes of a type must be a list");
            break;
        case Role::absinfo:
            dev->note(Device::absinfoSlot, node.line,
                      "'absinfo' must map axis codes to [min, max, fuzz, flat, resolution]");
            break;
        case Role::axis:
            dev->note(Device::absinfoSlot, node.line, "an axis needs at least [min, max]");
            break;
        case Role::properties:
            dev->note(Device::propsSlot, node.line, "'properties' must be a list");
            break;
        case Role::events:
            if (dev->collecting) dev->note(Device::eventsSlot, node.line, "'events' must be a list");
            break;
        case Role::entry:
            dev->note(Device::eventsSlot, node.line, "an events entry must be a mapping");
            break;
        case Role::frame:
            dev->note(Device::eventsSlot, node.line, "'evdev' events must be a list");
            break;
        case Role::event:
            dev->note(Device::eventsSlot, node.line, "an event must be [sec, usec, type, code, value]");
            break;
        default:
            break;
        }
    }

    // A key, an item or a value inside `parent` is whole.
    void done(Open& parent, const Node& node) {
        if (parent.self.kind == Node::map) {
            if (!parent.haveKey) {
                parent.haveKey = true;
                parent.valueRole = keyed(parent, node);
            } else {
                parent.haveKey = false;
                parent.valueRole = Role::skip;
            }
            return;
        }
        if (parent.role != Role::skip && parent.self.kind == Node::sequence) list(parent, node);
        ++parent.count;
    }

    // What the value of `key` in `map` stands for; for codes and axes, the key is read too.
    Role keyed(Open& map, const Node& key) {
        auto first = [&](const char* name, unsigned bit) {
            if (key.kind != Node::scalar || key.text != name || (map.seen & bit)) return false;
            map.seen |= bit;
            return true;
        };
        Device* dev = current_.get();
        switch (map.role) {
        case Role::top:
            if (first("devices", 1)) {
                devicesListed_ = true;
                return Role::devices;
            }
            return Role::skip;
        case Role::device:
            if (first("evdev", 1)) return Role::evdev;
            if (first("events", 2)) return dev->index == 0 || !dev->knownNotTouchpad ? Role::events : Role::skip;
            return Role::skip;
        case Role::evdev:
            if (first("name", 1)) return Role::name;
            if (first("id", 2)) return Role::id;
            if (first("codes", 4)) return Role::codes;
            if (first("absinfo", 8)) return Role::absinfo;
            if (first("properties", 16)) return Role::properties;
            return Role::skip;
        case Role::codes:
            map.touchpadList = first("3", 1);
            map.number = dev->intOf(Device::codesSlot, key, 0, EV_MAX, "an event type").value_or(-1);
            return Role::codeList;
        case Role::absinfo:
            map.number = dev->intOf(Device::absinfoSlot, key, 0, ABS_MAX, "an axis code").value_or(-1);
            return Role::axis;
        case Role::entry:
            return first("evdev", 1) ? Role::frame : Role::skip;
        default:
            return Role::skip;
        }
    }

    // An item of a list the reader walks is whole.
    void list(Open& open, const Node& item) {
        Device* dev = current_.get();
        if (open.count < open.items.size()) open.items[open.count] = item;
        switch (open.role) {
        case Role::codeList:
            if (open.touchpadList && item.kind == Node::scalar && trim(item.text) == "53") dev->touchpad = true;
            if (auto code = dev->intOf(Device::codesSlot, item, 0, KEY_MAX, "an event code");
                code && open.number >= 0) {
                if (open.number == EV_KEY) dev->rec.device.keys.set(std::size_t(*code));
                if (open.number == EV_ABS && *code <= ABS_MAX) dev->rec.device.absCodes.set(std::size_t(*code));
            }
            break;
        case Role::properties:
            if (auto prop = dev->intOf(Device::propsSlot, item, 0, 0xffff, "a property");
                prop && *prop < INPUT_PROP_CNT)
                dev->rec.device.props.set(std::size_t(*prop));
            break;
        default:
            break;
        }
    }

    // A mapping or list the reader walks is whole.
    void closed(const Open& open) {
        Device* dev = current_.get();
        switch (open.role) {
        case Role::devices:
            deviceCount_ = open.count;
            break;
        case Role::device:
            // Kept only while it may be the one read: the first, or the first touchpad.
            if (dev->touchpad) {
                touchpad_ = std::move(current_);
                first_.reset();
            } else if (dev->index == 0) {
                first_ = std::move(current_);
            }
            current_.reset();
            break;
        case Role::evdev:
            if (!dev->touchpad) {
                dev->knownNotTouchpad = true;
                if (dev->index > 0) dev->collecting = false;
            }
            break;
        case Role::id:
            if (open.count == 4) {
                auto& d = dev->rec.device;
                auto bus = dev->intOf(Device::idSlot, open.items[0], 0, 0xffff, "a bus type");
                auto vendor = dev->intOf(Device::idSlot, open.items[1], 0, 0xffff, "a vendor id");
                auto product = dev->intOf(Device::idSlot, open.items[2], 0, 0xffff, "a product id");
                auto version = dev->intOf(Device::idSlot, open.items[3], 0, 0xffff, "a version");
                if (bus && vendor && product && version) {
                    d.bus = std::uint16_t(*bus), d.vendor = std::uint16_t(*vendor);
                    d.product = std::uint16_t(*product), d.version = std::uint16_t(*version);
                    d.idsKnown = true;
                }
            }
            break;
        case Role::axis:
            if (open.count < 2) {
                dev->note(Device::absinfoSlot, open.self.line, "an axis needs at least [min, max]");
            } else if (open.number >= 0) {
                AbsAxis& a = dev->rec.device.abs[std::size_t(open.number)];
                a.known = true;
                a.minimum = std::int32_t(
                    dev->intOf(Device::absinfoSlot, open.items[0], i32min, i32max, "an axis minimum").value_or(0));
                a.maximum = std::int32_t(
                    dev->intOf(Device::absinfoSlot, open.items[1], i32min, i32max, "an axis maximum").value_or(0));
                if (open.count >= 5)
                    a.resolution = std::int32_t(
                        dev->intOf(Device::absinfoSlot, open.items[4], i32min, i32max, "an axis resolution")
                            .value_or(0));
                dev->rec.device.absCodes.set(std::size_t(open.number));
            }
            break;
        case Role::event:
            event(*dev, open);
            break;
        default:
            break;
        }
    }

    void event(Device& dev, const Open& ev) {
        if (!dev.collecting) return;
        if (ev.count != 5)
            return dev.note(Device::eventsSlot, ev.self.line, "an event must be [sec, usec, type, code, value]");
        auto sec = dev.intOf(Device::eventsSlot, ev.items[0], 0, maxTimeSeconds, "the seconds");
        if (!sec) return;
        auto usec = dev.intOf(Device::eventsSlot, ev.items[1], 0, 999'999, "the microseconds");
        if (!usec) return;
        auto type = dev.intOf(Device::eventsSlot, ev.items[2], 0, 0xffff, "the event type");
        if (!type) return;
        auto code = dev.intOf(Device::eventsSlot, ev.items[3], 0, 0xffff, "the event code");
        if (!code) return;
        auto value = dev.intOf(Device::eventsSlot, ev.items[4], INT64_MIN / 4, INT64_MAX / 4, "the event value");
        if (!value) return;
        try {
            dev.events.add(ev.self.line, *sec * 1'000'000'000 + *usec * 1000, *type, *code, *value);
        } catch (const RecordingError& e) {
            dev.problems[Device::eventsSlot] = e;
            dev.collecting = false;
        }
    }

    const std::string& file_;
    std::size_t lastPos_ = 0;
    int lastLine_ = 0;
    std::vector<Open> stack_;
    std::optional<int> alias_;
    Node top_;
    bool devicesListed_ = false;
    std::size_t deviceCount_ = 0;
    std::unique_ptr<Device> current_, first_, touchpad_;
};

// The text as a stream, without a copy of it, handed out in blocks. The parser holds back every
// token of a flow collection that may still turn out to be a mapping key, at some 100 bytes a
// character of text: reading stops where no node has been reported for longer than any value
// 'libinput record' writes (a HID report descriptor, its longest, takes some 30 KiB).
class ViewBuffer : public std::streambuf {
public:
    static constexpr std::size_t maxStretch = std::size_t(256) << 10;

    ViewBuffer(std::string_view text, const Reader& reader, const std::string& file)
        : text_(text), reader_(reader), file_(file) {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin);
    }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        std::size_t at = std::size_t(egptr() - eback());
        if (at >= text_.size()) return traits_type::eof();
        if (at > reader_.lastPosition() + maxStretch) {
            fail(file_, reader_.lastLine(),
                 "a value after this runs on for more than " + std::to_string(maxStretch >> 10) +
                     " KiB: no 'libinput record' file holds one so long");
        }
        std::size_t n = std::min(std::size_t(65536), text_.size() - at);
        setg(eback(), eback() + at, eback() + at + n);
        return traits_type::to_int_type(*gptr());
    }

private:
    std::string_view text_;
    const Reader& reader_;
    const std::string& file_;
};

}  // namespace

Recording readLibinputRecord(std::string_view text, const std::string& file) {
    try {
        Reader reader(file);
        ViewBuffer buffer(text, reader, file);
        std::istream in(&buffer);
        in.exceptions(std::ios::badbit);  // the buffer's RecordingError, not a silent end
        YAML::Parser parser(in);
        parser.HandleNextDocument(reader);
        return reader.finish();
    } catch (const YAML::Exception& e) {
        int line = e.mark.is_null() ? 0 : e.mark.line + 1;
        throw RecordingError(file, line, e.msg.empty() ? std::string("invalid YAML") : e.msg);
    }
}

}  // namespace trellick::input
