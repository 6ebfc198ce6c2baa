#pragma once
// The values passed between producers of things to switch to (trackers, favourites) and their
// consumers (the gesture engine, the overlay).

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace trellick {

// An icon as the core sees it: opaque. `name` is the desktop entry's icon (a theme icon name
// or an absolute file path) where there is one; `data` is the platform's image where it has
// one (on X11 a QImage, the window's _NET_WM_ICON), the fallback where `name` does not
// resolve. The overlay knows how to draw either.
struct IconHandle {
    std::string name;
    std::shared_ptr<const void> data;
};

// One selectable entry. A value: copied freely, never compared.
struct SwitchTarget {
    std::optional<IconHandle> icon;
    std::string title;
    std::optional<std::string> subtitle;  // never an empty string
    std::function<void()> activate;       // main thread only; harmless when its target is gone
    bool isPlaceholder = false;
};

enum class SwitcherRow { recents, favourites };

}  // namespace trellick
