#pragma once
// The udev rule that grants touchpad access: it tags touchpads "uaccess", so that logind gives
// the user at the seat read and write access to those nodes, and to no other. A node that is a
// keyboard as well (some pads expose their buttons as keys) is left out: reading it would
// read keystrokes. One definition for the warning, the privileged helper that installs it, the
// package and the manual steps shown when that helper cannot run.

#include <string>

namespace trellick::evdev {

inline constexpr const char* kTouchpadRulesFile = "/etc/udev/rules.d/70-trellick-touchpad.rules";
inline constexpr const char* kTouchpadRule =
    R"(ACTION!="remove", SUBSYSTEM=="input", KERNEL=="event*", ENV{ID_INPUT_TOUCHPAD}=="1", ENV{ID_INPUT_KEYBOARD}!="1", TAG+="uaccess")";
// Re-applies the rules to the touchpads only; a change event then lets a running Trellick open them.
inline constexpr const char* kTouchpadTriggerArgs[] = {"trigger", "--action=change", "--subsystem-match=input",
                                                       "--property-match=ID_INPUT_TOUCHPAD=1"};

// The rules file as the helper writes it.
inline std::string touchpadRulesFileContent() {
    return std::string("# Installed by Trellick: lets the user at the seat read touchpads.\n") + kTouchpadRule + "\n";
}

// The two commands that do the same by hand, as root (the first broken over two lines, so a
// narrow window shows it whole).
inline std::string touchpadAccessRootCommands() {
    std::string trigger = "udevadm";
    for (const char* a : kTouchpadTriggerArgs) trigger += std::string(" ") + a;
    return std::string("echo '") + kTouchpadRule + "' \\\n  > " + kTouchpadRulesFile + "\n" +
           "udevadm control --reload && " + trigger;
}

}  // namespace trellick::evdev
