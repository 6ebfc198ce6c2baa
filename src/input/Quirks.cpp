#include "input/Quirks.h"

#include <fnmatch.h>
#include <linux/input.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>

#include "input/ReaderSupport.h"

namespace trellick::input {

using detail::trim;

// One section: its Match tests and the values it sets.
struct QuirksDatabase::Section {
    std::string origin;  // "file: [name]"
    std::vector<std::function<bool(const DeviceIdentity&)>> tests;
    std::vector<std::function<void(DeviceQuirks&)>> sets;
};

QuirksDatabase::QuirksDatabase() = default;
QuirksDatabase::~QuirksDatabase() = default;
QuirksDatabase::QuirksDatabase(QuirksDatabase&&) noexcept = default;
QuirksDatabase& QuirksDatabase::operator=(QuirksDatabase&&) noexcept = default;
std::size_t QuirksDatabase::sectionCount() const {
    return sections_.size();
}

namespace {

// A quirks file is a few kilobytes; anything far larger is not one.
constexpr std::size_t maxFileSize = 1 << 20;

// "AxB" (sizes, resolutions) or "A:B" (ranges), both non-negative.
std::optional<int> number(std::string_view s, int base = 10) {
    auto v = detail::parseInt(s, base, 0, std::numeric_limits<int>::max());
    return v ? std::optional<int>(int(*v)) : std::nullopt;
}

std::optional<std::pair<int, int>> pair(std::string_view s, char sep) {
    auto at = s.find(sep);
    if (at == std::string_view::npos) return std::nullopt;
    auto a = number(s.substr(0, at)), b = number(s.substr(at + 1));
    if (!a || !b) return std::nullopt;
    return std::pair{*a, *b};
}

bool glob(const std::string& pattern, const std::string& value) {
    return ::fnmatch(pattern.c_str(), value.c_str(), 0) == 0;
}

std::optional<std::uint16_t> busCode(std::string_view name) {
    static const std::pair<std::string_view, std::uint16_t> buses[] = {
        {"usb", BUS_USB}, {"bluetooth", BUS_BLUETOOTH}, {"ps2", BUS_I8042}, {"rmi", BUS_RMI}, {"i2c", BUS_I2C},
        {"spi", BUS_SPI},
    };
    for (auto [n, code] : buses) {
        if (n == name) return code;
    }
    return std::nullopt;
}

using Test = std::function<bool(const DeviceIdentity&)>;

// A Match key's test, or nothing when the value is malformed.
std::optional<Test> matchTest(std::string_view key, std::string_view value) {
    std::string v(value);
    if (key == "MatchName") return Test([v](const DeviceIdentity& d) { return glob(v, d.name); });
    if (key == "MatchUniq") return Test([v](const DeviceIdentity& d) { return glob(v, d.uniq); });
    if (key == "MatchDMIModalias") return Test([v](const DeviceIdentity& d) { return glob(v, d.dmiModalias); });
    if (key == "MatchDeviceTree") return Test([v](const DeviceIdentity& d) { return glob(v, d.deviceTree); });
    if (key == "MatchBus") {
        auto bus = busCode(value);
        if (!bus) return std::nullopt;
        return Test([b = *bus](const DeviceIdentity& d) { return d.idsKnown && d.bus == b; });
    }
    if (key == "MatchUdevType") {
        static const std::string_view types[] = {"touchpad", "mouse",  "pointingstick", "keyboard",
                                                 "joystick", "tablet", "tablet-pad",    "touchscreen"};
        if (std::find(std::begin(types), std::end(types), value) == std::end(types)) return std::nullopt;
        bool wantsTouchpad = value == "touchpad";
        return Test([wantsTouchpad](const DeviceIdentity& d) { return wantsTouchpad && d.touchpad; });
    }
    std::uint16_t DeviceIdentity::*field = nullptr;
    if (key == "MatchVendor") field = &DeviceIdentity::vendor;
    if (key == "MatchProduct") field = &DeviceIdentity::product;
    if (key == "MatchVersion") field = &DeviceIdentity::version;
    if (!field) return std::nullopt;
    // Newer databases list several products separated by ';'.
    std::vector<int> ids;
    for (std::size_t start = 0; start <= value.size();) {
        auto end = std::min(value.find(';', start), value.size());
        auto id = number(trim(value.substr(start, end - start)), 16);
        if (!id || *id > 0xffff) return std::nullopt;
        ids.push_back(*id);
        start = end + 1;
    }
    return Test([field, ids](const DeviceIdentity& d) {
        return d.idsKnown && std::find(ids.begin(), ids.end(), int(d.*field)) != ids.end();
    });
}

using Set = std::function<void(DeviceQuirks&)>;

// What an Attr or Model key sets: nothing to do for keys that do not concern us, nothing at
// all (nullopt) when a key of ours has a malformed value.
std::optional<Set> attribute(std::string_view key, std::string_view value) {
    using Pair = std::optional<std::pair<int, int>> DeviceQuirks::*;
    using Int = std::optional<int> DeviceQuirks::*;
    static const std::pair<std::string_view, std::pair<Pair, char>> pairs[] = {
        {"AttrSizeHint", {&DeviceQuirks::sizeHintMm, 'x'}},
        {"AttrResolutionHint", {&DeviceQuirks::resolutionHint, 'x'}},
        {"AttrTouchSizeRange", {&DeviceQuirks::touchSizeRange, ':'}},
        {"AttrPressureRange", {&DeviceQuirks::pressureRange, ':'}},
    };
    static const std::pair<std::string_view, Int> ints[] = {
        {"AttrPalmSizeThreshold", &DeviceQuirks::palmSizeThreshold},
        {"AttrPalmPressureThreshold", &DeviceQuirks::palmPressureThreshold},
        {"AttrThumbSizeThreshold", &DeviceQuirks::thumbSizeThreshold},
        {"AttrThumbPressureThreshold", &DeviceQuirks::thumbPressureThreshold},
    };
    for (auto& [name, what] : pairs) {
        if (key != name) continue;
        auto p = pair(value, what.second);
        if (!p) return std::nullopt;
        return Set([f = what.first, v = *p](DeviceQuirks& q) { q.*f = v; });
    }
    for (auto& [name, field] : ints) {
        if (key != name) continue;
        auto n = number(value);
        if (!n) return std::nullopt;
        return Set([f = field, v = *n](DeviceQuirks& q) { q.*f = v; });
    }
    if (key.substr(0, 5) == "Model") {
        if (value != "0" && value != "1") return std::nullopt;
        if (key != "ModelAppleTouchpad") return Set([](DeviceQuirks&) {});
        return Set([on = value == "1"](DeviceQuirks& q) { q.appleTouchpad = on; });
    }
    if (key.substr(0, 4) == "Attr") return Set([](DeviceQuirks&) {});
    return std::nullopt;
}

}  // namespace

void QuirksDatabase::addText(std::string_view text, const std::string& file) {
    std::optional<Section> current;
    std::string fault;  // the current section's first problem
    auto close = [&] {
        if (current && fault.empty() && current->tests.empty()) fault = current->origin + ": has no Match key";
        if (current && fault.empty()) sections_.push_back(std::move(*current));
        if (!fault.empty()) problems_.push_back(fault);
        current.reset();
        fault.clear();
    };
    int lineNo = 0;
    for (std::size_t start = 0; start < text.size();) {
        auto end = std::min(text.find('\n', start), text.size());
        auto line = trim(text.substr(start, end - start));
        start = end + 1;
        ++lineNo;
        if (line.empty() || line.front() == '#') continue;
        std::string where = file + ":" + std::to_string(lineNo) + ": ";
        if (line.front() == '[') {
            close();
            if (line.back() != ']' || line.size() < 3) {
                problems_.push_back(where + "a section header must read [Name]");
                continue;
            }
            current = Section{file + ": " + std::string(line), {}, {}};
            continue;
        }
        auto eq = line.find('=');
        if (!current) {
            problems_.push_back(where + "a key outside any section");
            continue;
        }
        if (!fault.empty()) continue;
        if (eq == std::string_view::npos) {
            fault = where + "not a key=value line";
            continue;
        }
        auto key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
        if (key.substr(0, 5) == "Match") {
            if (auto test = matchTest(key, value)) {
                current->tests.push_back(std::move(*test));
            } else {
                fault = where + std::string(key) + ": cannot match on \"" + std::string(value) + "\"";
            }
        } else if (auto set = attribute(key, value)) {
            current->sets.push_back(std::move(*set));
        } else {
            fault = where + std::string(key) + ": \"" + std::string(value) + "\" is not a valid value";
        }
    }
    close();
}

void QuirksDatabase::addFile(const std::string& path) {
    if (auto text = detail::readText(path, maxFileSize)) addText(text.value(), path);
}

void QuirksDatabase::addDirectory(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.path().extension() == ".quirks") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) addFile(f);
}

const QuirksDatabase& QuirksDatabase::system() {
    static const QuirksDatabase db = [] {
        QuirksDatabase d;
        d.addDirectory(systemDataDir);
        d.addFile(systemOverrides);
        return d;
    }();
    return db;
}

DeviceQuirks QuirksDatabase::lookup(const DeviceIdentity& device) const {
    DeviceQuirks q;
    for (const auto& s : sections_) {
        if (!std::all_of(s.tests.begin(), s.tests.end(), [&](const auto& t) { return t(device); })) continue;
        for (const auto& set : s.sets) set(q);
        q.matched.push_back(s.origin);
    }
    return q;
}

void readMachineIdentity(DeviceIdentity& device) {
    if (auto dmi = detail::readText("/sys/class/dmi/id/modalias", maxFileSize)) {
        device.dmiModalias = std::string(trim(dmi.value()));
    }
    // The compatible property holds NUL-separated strings, most specific first: match the first.
    // NUL bytes make readText refuse it as binary: read the first string by hand.
    if (std::FILE* f = std::fopen("/sys/firmware/devicetree/base/compatible", "re")) {
        char first[256] = {};
        std::fread(first, 1, sizeof first - 1, f);
        std::fclose(f);
        device.deviceTree = first;
    }
}

std::vector<std::string> describe(const DeviceQuirks& q) {
    std::vector<std::string> lines = q.matched;
    auto dims = [&](const char* name, const auto& v, char sep) {
        if (v) lines.push_back(std::string(name) + "=" + std::to_string(v->first) + sep + std::to_string(v->second));
    };
    auto one = [&](const char* name, const std::optional<int>& v) {
        if (v) lines.push_back(std::string(name) + "=" + std::to_string(*v));
    };
    dims("AttrSizeHint", q.sizeHintMm, 'x');
    dims("AttrResolutionHint", q.resolutionHint, 'x');
    dims("AttrTouchSizeRange", q.touchSizeRange, ':');
    dims("AttrPressureRange", q.pressureRange, ':');
    one("AttrPalmSizeThreshold", q.palmSizeThreshold);
    one("AttrPalmPressureThreshold", q.palmPressureThreshold);
    one("AttrThumbSizeThreshold", q.thumbSizeThreshold);
    one("AttrThumbPressureThreshold", q.thumbPressureThreshold);
    if (q.appleTouchpad) lines.emplace_back("ModelAppleTouchpad=1");
    return lines;
}

}  // namespace trellick::input
