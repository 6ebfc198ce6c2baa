#pragma once
// Small platform services of the gesture engine: scroll blocking, the Escape key monitor
// and the haptic performer. All are used on the main thread only.

#include <functional>
#include <optional>

namespace trellick {

// Swallows scroll (and pointer) events system-wide while enabled, in the window system's own
// way (a pointer grab, a surface over the output); created idle.
class ScrollBlocker {
public:
    virtual ~ScrollBlocker() = default;
    // Makes the blocker exist (idle). False when the platform refuses; may be called again.
    virtual bool create() = 0;
    virtual void setEnabled(bool enabled) = 0;
    // Called when the platform dropped an enabled blocker on its own (a lost grab); the
    // owner re-enables it while suppression is still wanted.
    virtual void setLostHandler(std::function<void()> handler) = 0;
};

// A global monitor of Escape key presses made in other applications.
class KeyMonitor {
public:
    using Token = int;
    virtual ~KeyMonitor() = default;
    // Installs a monitor calling onEscape for each Escape press. Empty when refused.
    virtual std::optional<Token> addEscapeMonitor(std::function<void()> onEscape) = 0;
    virtual void removeMonitor(Token token) = 0;
};

enum class HapticPattern { generic = 0, alignment = 1, levelChange = 2 };

// Fire-and-forget feedback through the touchpad; does nothing without haptic hardware.
class HapticPerformer {
public:
    virtual ~HapticPerformer() = default;
    virtual void perform(HapticPattern pattern) = 0;
};

}  // namespace trellick
