#pragma once
// The overlay's view-model: exactly what the panel draws while a directional swipe is held.
// HUDController is its only writer; the style views only read it. Main thread only.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "common/Observable.h"
#include "common/SwitchTarget.h"
#include "settings/SettingsStore.h"

namespace trellick {

class HUDModel {
public:
    enum class Field {
        visible,
        selected,
        moreBefore,
        moreAfter,
        recentsCount,
        recentsAbsolute,
        favourites,
        favSelected,
        focus,
        labelStyle,
        style,
        compactPeek,
        cancelProgress,
        generation,
    };

    // A field whose every assignment is announced to the model's observers before the
    // value changes (equal values included), like the rest of the project's observables.
    template <typename T, Field F>
    class Published {
    public:
        const T& get() const { return value_; }
        const T& operator()() const { return value_; }
        void set(T value) {
            owner_->announce(F);
            value_ = std::move(value);
        }

    private:
        friend class HUDModel;
        Published(HUDModel* owner, T initial) : owner_(owner), value_(std::move(initial)) {}
        HUDModel* owner_;
        T value_;
    };

    HUDModel();
    HUDModel(const HUDModel&) = delete;
    HUDModel& operator=(const HUDModel&) = delete;

    // The slice of the recency list that is drawn (at most nine entries).
    Published<std::vector<SwitchTarget>, Field::visible> visible{this, {}};
    // The recents cursor inside `visible`.
    Published<int, Field::selected> selected{this, 0};
    Published<bool, Field::moreBefore> moreBefore{this, false};
    Published<bool, Field::moreAfter> moreAfter{this, false};
    Published<int, Field::recentsCount> recentsCount{this, 0};
    // The recents cursor in the whole list.
    Published<int, Field::recentsAbsolute> recentsAbsolute{this, 0};
    // The whole favourites row; may be the single placeholder entry.
    Published<std::vector<SwitchTarget>, Field::favourites> favourites{this, {}};
    Published<int, Field::favSelected> favSelected{this, 0};
    Published<SwitcherRow, Field::focus> focus{this, SwitcherRow::recents};
    Published<HUDLabelStyle, Field::labelStyle> labelStyle{this, HUDLabelStyle::caption};
    Published<HUDStyle, Field::style> style{this, HUDStyle::modern};
    Published<bool, Field::compactPeek> compactPeek{this, true};
    // 0 (no cancelling pull) to 1 (the cancel point).
    Published<double, Field::cancelProgress> cancelProgress{this, 0.0};
    // Counts fresh showings; a view starts over (no animation carried across) when it moves.
    Published<int, Field::generation> generation{this, 0};

    // Hears every assignment, before the value changes. Notifying allocates nothing, so a
    // cursor step stays cheap; an observer added while others are told is told from the
    // next assignment on.
    Subscription observe(std::function<void(Field)> observer) const;

private:
    void announce(Field f);

    struct Observers {
        std::vector<std::pair<unsigned long, std::function<void(Field)>>> list, pending;
        unsigned long nextId = 0;
        int depth = 0;
        bool dropped = false;
    };
    std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
};

// The entry under the active cursor, or null when the cursor lies outside its row.
const SwitchTarget* focusedTarget(const HUDModel& model);

}  // namespace trellick
