#pragma once
// The tracking layer as the gesture engine calls it: "the" recency tracker and the favourites.

#include <string>
#include <vector>

#include "common/SwitchTarget.h"

namespace trellick {

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

// What the gesture engine needs of the favourites: the targets of pinned desktop ids,
// in the given order, leaving out those that do not resolve. Main thread only.
class FavouriteTargetSource {
public:
    virtual ~FavouriteTargetSource() = default;
    virtual std::vector<SwitchTarget> targets(const std::vector<std::string>& desktopIds) = 0;
};

}  // namespace trellick
