#include "overlay/HUDModel.h"

#include <algorithm>

namespace trellick {

HUDModel::HUDModel() = default;

Subscription HUDModel::observe(std::function<void(Field)> observer) const {
    auto& o = *observers_;
    unsigned long id = o.nextId++;
    // Never grow the list being walked: a moved std::function must not be running.
    (o.depth > 0 ? o.pending : o.list).emplace_back(id, std::move(observer));
    std::weak_ptr<Observers> weak = observers_;
    return Subscription([weak, id] {
        auto s = weak.lock();
        if (!s) return;
        auto match = [id](const auto& e) { return e.first == id; };
        std::erase_if(s->pending, match);
        if (s->depth > 0) {
            // Blank it now so it is not called again, remove it once the walk is over.
            for (auto& e : s->list)
                if (e.first == id) e.second = nullptr;
            s->dropped = true;
        } else {
            std::erase_if(s->list, match);
        }
    });
}

void HUDModel::announce(Field f) {
    auto keep = observers_;  // an observer may drop the last subscription
    auto& o = *keep;
    ++o.depth;
    for (std::size_t i = 0; i < o.list.size(); ++i) {
        if (o.list[i].second) o.list[i].second(f);
    }
    if (--o.depth == 0) {
        if (o.dropped) {
            std::erase_if(o.list, [](const auto& e) { return !e.second; });
            o.dropped = false;
        }
        if (!o.pending.empty()) {
            for (auto& e : o.pending) o.list.push_back(std::move(e));
            o.pending.clear();
        }
    }
}

const SwitchTarget* focusedTarget(const HUDModel& m) {
    if (m.focus() == SwitcherRow::favourites) {
        int i = m.favSelected();
        const auto& row = m.favourites();
        return i >= 0 && i < static_cast<int>(row.size()) ? &row[i] : nullptr;
    }
    int i = m.selected();
    const auto& row = m.visible();
    return i >= 0 && i < static_cast<int>(row.size()) ? &row[i] : nullptr;
}

}  // namespace trellick
