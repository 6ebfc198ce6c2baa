#pragma once
// Device knowledge from libinput's quirks database: the per-device facts that Linux desktops
// curate for touchpads whose kernel drivers report too little or the wrong thing (no
// resolution, a wrong one, size and pressure scales that mean nothing without a threshold).
//
// The files are ini-like: `[Section]` headers, `Match*` keys that must all hold for the
// section to apply, and `Attr*`/`Model*` keys it then sets. Every file of the data folder is
// read in file-name order, then the local overrides file; a key set by a later matching
// section wins. A section with a malformed line is left out whole and reported; the rest of
// the database still applies.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trellick::input {

// What a device is, as the Match keys see it.
struct DeviceIdentity {
    std::string name;
    std::string uniq;
    // Bus type (BUS_USB, BUS_I8042, ...), vendor, product and version; all 0 when unknown.
    std::uint16_t bus = 0, vendor = 0, product = 0, version = 0;
    bool idsKnown = false;
    // Udev's types of the node; a touchpad source only ever opens touchpads.
    bool touchpad = true;
    // The machine: /sys/class/dmi/id/modalias and the device tree's compatible string.
    std::string dmiModalias;
    std::string deviceTree;
};

// What the database says about one device. Thresholds are in the device's own units.
struct DeviceQuirks {
    std::optional<std::pair<int, int>> sizeHintMm;      // AttrSizeHint: width x height
    std::optional<std::pair<int, int>> resolutionHint;  // AttrResolutionHint: x x y units per mm
    std::optional<int> palmSizeThreshold;               // touch major at or above: a palm
    std::optional<int> palmPressureThreshold;
    std::optional<int> thumbSizeThreshold;
    std::optional<int> thumbPressureThreshold;
    std::optional<std::pair<int, int>> touchSizeRange;  // touch major down:up (touching from down, lifted below up)
    std::optional<std::pair<int, int>> pressureRange;   // pressure down:up, likewise
    bool appleTouchpad = false;                         // ModelAppleTouchpad
    // "file: [section]" of every section that matched, in the order applied.
    std::vector<std::string> matched;

    bool empty() const { return matched.empty(); }
};

class QuirksDatabase {
public:
    // libinput's installed database: the data folder's *.quirks and the local overrides file.
    static constexpr const char* systemDataDir = "/usr/share/libinput";
    static constexpr const char* systemOverrides = "/etc/libinput/local-overrides.quirks";

    // Adds the sections of one file's text (`file` names it in problems and matches).
    void addText(std::string_view text, const std::string& file);
    // Adds every *.quirks file of a folder, in file-name order. A missing folder adds nothing.
    void addDirectory(const std::string& dir);
    // Adds one file; a missing one adds nothing. Non-regular files are never opened.
    void addFile(const std::string& path);

    // The installed database (read once, on first use); empty where libinput is not installed.
    static const QuirksDatabase& system();

    DeviceQuirks lookup(const DeviceIdentity& device) const;

    // "FILE:LINE: what is wrong", one per section left out.
    const std::vector<std::string>& problems() const { return problems_; }
    std::size_t sectionCount() const;

    struct Section;  // defined in Quirks.cpp

    QuirksDatabase();
    ~QuirksDatabase();
    QuirksDatabase(QuirksDatabase&&) noexcept;
    QuirksDatabase& operator=(QuirksDatabase&&) noexcept;

private:
    std::vector<Section> sections_;
    std::vector<std::string> problems_;
};

// The machine's identity for DMI and device-tree matches, read from sysfs.
void readMachineIdentity(DeviceIdentity& device);

// One line per matched section and value, for diagnostics (like `libinput quirks list`).
std::vector<std::string> describe(const DeviceQuirks& quirks);

}  // namespace trellick::input
