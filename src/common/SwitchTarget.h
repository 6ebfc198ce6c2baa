#pragma once
// The vocabulary between producers of things to switch to (trackers, favourites) and their
// consumers (the gesture engine, the overlay).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// "The" recency tracker: AppTracker or WindowTracker. Main thread only.
class MRUSwitcher {
public:
    virtual ~MRUSwitcher() = default;
    // Switch to the most recent entry other than the front one; nothing if there is none.
    virtual void activatePrevious() = 0;
    // The recency list as targets, most recent first. May be shorter than orderedCount().
    virtual std::vector<SwitchTarget> orderedTargets() = 0;
    // The length of the list as kept, without resolving entries.
    virtual int orderedCount() const = 0;
};

// What the gesture engine needs of the favourites: the targets of pinned bundle identifiers,
// in the given order, leaving out those that do not resolve. Main thread only.
class FavouriteTargetSource {
public:
    virtual ~FavouriteTargetSource() = default;
    virtual std::vector<SwitchTarget> targets(const std::vector<std::string>& bundleIDs) = 0;
};

}  // namespace trellick
