#include "overlay/StyleTexts.h"

#include "overlay/OverlayFonts.h"

namespace trellick {

namespace {

bool sameRecipes(const std::vector<TextRecipe>& a, const std::vector<TextRecipe>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].field != b[i].field || a[i].points != b[i].points || a[i].weight != b[i].weight ||
            a[i].recentsWidth != b[i].recentsWidth || a[i].favouritesWidth != b[i].favouritesWidth)
            return false;
    }
    return true;
}

}  // namespace

void StyleTexts::use(int generation, const std::vector<TextRecipe>& recipes, const OverlayFonts& fonts) {
    if (generation == generation_ && &fonts == fontSet_ && sameRecipes(recipes, recipes_)) return;
    generation_ = generation;
    fontSet_ = &fonts;
    recipes_ = recipes;
    fonts_.clear();
    for (const auto& r : recipes_) fonts_.push_back(fonts.font(r.points, r.weight));
    recents_.clear();
    favourites_.clear();
}

void StyleTexts::make(Entry& e, const SwitchTarget& t, bool favourite, AppIconCache& icons) {
    for (std::size_t i = 0; i < recipes_.size() && i < maxRecipes; ++i) {
        const TextRecipe& r = recipes_[i];
        const std::string* source = r.field == TextRecipe::Field::title ? &t.title
                                    : t.subtitle                        ? &*t.subtitle
                                                                        : nullptr;
        if (!source || source->empty()) continue;
        const double width = favourite ? r.favouritesWidth : r.recentsWidth;
        QString text =
            fontSet_->metrics(r.points, r.weight).elidedText(QString::fromStdString(*source), Qt::ElideRight, width);
        QStaticText& st = e.text[i];
        st.setTextFormat(Qt::PlainText);
        st.setPerformanceHint(QStaticText::AggressiveCaching);
        st.setText(text);
        st.prepare(QTransform(), fonts_[i]);
    }
    e.icon = icons.resolve(t.icon);
    e.ready = true;
}

bool StyleTexts::prepare(const HUDModel& m, AppIconCache& icons) {
    bool made = false;
    const auto& visible = m.visible();
    const int first = m.recentsAbsolute() - m.selected();
    const int count = std::max(m.recentsCount(), first + static_cast<int>(visible.size()));
    if (first >= 0 && static_cast<int>(recents_.size()) < count) recents_.resize(count);
    for (std::size_t i = 0; i < visible.size(); ++i) {
        Entry* e = first >= 0 ? &recents_[first + i] : nullptr;
        if (e && !e->ready) {
            make(*e, visible[i], false, icons);
            made = true;
        }
    }
    const auto& favs = m.favourites();
    if (favourites_.size() != favs.size()) {
        favourites_.assign(favs.size(), Entry{});
    }
    for (std::size_t i = 0; i < favs.size(); ++i) {
        if (!favourites_[i].ready) {
            make(favourites_[i], favs[i], true, icons);
            made = true;
        }
    }
    return made;
}

const StyleTexts::Entry* StyleTexts::at(const HUDModel& m, SwitcherRow row, int index) const {
    if (row == SwitcherRow::favourites) {
        return index >= 0 && index < static_cast<int>(favourites_.size()) && favourites_[index].ready
                   ? &favourites_[index]
                   : nullptr;
    }
    const int first = m.recentsAbsolute() - m.selected();
    const int i = first + index;
    if (index < 0 || index >= static_cast<int>(m.visible().size()) || i < 0 || i >= static_cast<int>(recents_.size()))
        return nullptr;
    return recents_[i].ready ? &recents_[i] : nullptr;
}

}  // namespace trellick
