#pragma once
// The texts and icons of the entries a style draws, made once per list and kept for the
// showing: each text elided at the end to its frame's width and laid out as a QStaticText,
// so a cursor step draws without converting, measuring or shaping anything. Recents are
// kept by their index in the whole list, so a window that slides by one entry prepares
// only the entry that came into view. Main thread only.

#include <QFont>
#include <QStaticText>
#include <array>
#include <vector>

#include "overlay/AppIcons.h"
#include "overlay/HUDModel.h"

namespace trellick {

class OverlayFonts;

struct TextRecipe {
    enum class Field { title, subtitle };
    Field field;
    int points;
    QFont::Weight weight;
    double recentsWidth;     // elide width in the recents row
    double favouritesWidth;  // and in the favourites row
};

class StyleTexts {
public:
    static constexpr std::size_t maxRecipes = 6;

    struct Entry {
        std::array<QStaticText, maxRecipes> text;  // by recipe; empty where the field is
        const AppIconCache::Entry* icon = nullptr;
        bool ready = false;
    };

    // Starts over when the showing, the recipes or the fonts change.
    void use(int generation, const std::vector<TextRecipe>& recipes, const OverlayFonts& fonts);
    // Makes the entries of the model's lists ready. Returns true when any was new.
    bool prepare(const HUDModel& model, AppIconCache& icons);

    // The entry at `index` of the model's row (`visible` or `favourites`); null outside it.
    const Entry* at(const HUDModel& model, SwitcherRow row, int index) const;
    // The font of recipe `i`; a default one for an index the current recipes do not have.
    const QFont& font(std::size_t i) const { return i < fonts_.size() ? fonts_[i] : fallback_; }

private:
    void make(Entry& e, const SwitchTarget& t, bool favourite, AppIconCache& icons);

    int generation_ = -1;
    const OverlayFonts* fontSet_ = nullptr;
    std::vector<TextRecipe> recipes_;
    std::vector<QFont> fonts_;
    QFont fallback_;
    std::vector<Entry> recents_, favourites_;
};

}  // namespace trellick
