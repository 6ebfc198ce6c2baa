#pragma once
// Installed applications as desktop entries (the XDG data dirs): names, icons, the
// StartupWMClass hint and launching. Main thread only.

#include <optional>
#include <string>
#include <vector>

#include "common/SwitchTarget.h"

namespace trellick {

struct DesktopEntry {
    std::string id;    // the desktop file id without ".desktop", e.g. "org.gnome.TextEditor"
    std::string name;  // the localized Name
    std::optional<IconHandle> icon;
};

class DesktopEntries {
public:
    virtual ~DesktopEntries() = default;
    // The entry with that id (without ".desktop"), or nothing when none is installed.
    virtual std::optional<DesktopEntry> find(const std::string& id) = 0;
    // The id of the entry whose StartupWMClass equals wmClass, else of the entry whose file
    // name matches it ignoring case; nothing when none does.
    virtual std::optional<std::string> idForWMClass(const std::string& wmClass) = 0;
    // Starts the application of that entry. False when it cannot be launched.
    virtual bool launch(const std::string& id) = 0;
    // Every installed application a user would pick from a menu (not hidden, shown in this
    // desktop), in no particular order.
    virtual std::vector<DesktopEntry> installed() = 0;
};

}  // namespace trellick
