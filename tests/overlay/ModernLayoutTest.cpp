// The modern style's geometry, from the style's constants and the font's line metrics.

#include <gtest/gtest.h>

#include "OverlayTestSupport.h"
#include "overlay/ModernLayout.h"
#include "overlay/OverlayFonts.h"

namespace trellick::test {
namespace {

struct Shape {
    const char* name;
    int n, s, favourites;
    SwitcherRow focus;
    HUDLabelStyle labels;
    bool compact;
    double width;       // of the panel
    double rowsHeight;  // the rows and the scroll indicator, spacing included; the caption comes on top
};

// A model as the controller leaves it for `c` (window of nine around the cursor).
void fill(HUDModel& m, const Shape& c, bool subtitles = false) {
    auto all = targets(c.n, "App ", subtitles);
    int lo = std::max(std::min(std::max(c.s - 4, 0) + 9, c.n) - 9, 0), hi = std::min(lo + 9, c.n);
    m.visible.set({all.begin() + lo, all.begin() + hi});
    m.selected.set(c.s - lo);
    m.moreBefore.set(lo > 0);
    m.moreAfter.set(hi < c.n);
    m.recentsCount.set(c.n);
    m.recentsAbsolute.set(c.s);
    m.favourites.set(targets(c.favourites, "Fav "));
    m.focus.set(c.focus);
    m.labelStyle.set(c.labels);
    m.compactPeek.set(c.compact);
}

ModernLayout layoutOf(const HUDModel& m, ColorScheme scheme = ColorScheme::light, bool composited = true) {
    static OverlayFonts fonts;
    ModernLayout l;
    Appearance look;
    look.scheme = scheme;
    layoutModern(m, fonts, look, composited, l);
    return l;
}

double line(int points, QFont::Weight weight) {
    static OverlayFonts fonts;
    return fonts.lineHeight(points, weight);
}

class ModernShapes : public testing::TestWithParam<Shape> {};

TEST_P(ModernShapes, PanelSizeFollowsTheConstants) {
    const Shape& c = GetParam();
    HUDModel m;
    fill(m, c);
    ModernLayout l = layoutOf(m);
    EXPECT_EQ(l.size.width(), c.width);
    const double caption = c.labels == HUDLabelStyle::caption ? 10 + line(18, QFont::DemiBold) : 0;
    EXPECT_EQ(l.size.height(), 2 * 44 + 2 * 18 + c.rowsHeight + caption);
    EXPECT_EQ(l.card, QRectF(44, 44, c.width - 88, l.size.height() - 88));
}

// Rows: focused recents 64 (+44 with labels), peek rows 30, favourites focused 64; the
// scroll indicator 3 + 10 while recents hold the focus and the list is longer than nine.
INSTANTIATE_TEST_SUITE_P(
    Cases, ModernShapes,
    testing::Values(
        Shape{"nineOfTwenty", 20, 0, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 824, 64 + 13},
        Shape{"nineOfNine", 9, 8, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 824, 64},
        Shape{"threeUnderCaption", 3, 1, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 492, 64},
        Shape{"perIcon", 20, 10, 0, SwitcherRow::recents, HUDLabelStyle::perIcon, true, 1328, 64 + 44 + 13},
        Shape{"favouritesPeek", 20, 0, 3, SwitcherRow::recents, HUDLabelStyle::caption, true, 824, 30 + 10 + 64 + 13},
        Shape{"favouritesFocused", 20, 0, 3, SwitcherRow::favourites, HUDLabelStyle::caption, true, 662, 64 + 10 + 30},
        Shape{"favouritesFocusedWide", 20, 0, 3, SwitcherRow::favourites, HUDLabelStyle::caption, false, 824,
              64 + 10 + 30},
        Shape{"favouritesFocusedLabels", 4, 0, 2, SwitcherRow::favourites, HUDLabelStyle::perIcon, true, 392,
              64 + 44 + 10 + 30}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ModernLayout, PlacesRowsCellsPlateAndChevrons) {
    HUDModel m;
    fill(m, {"", 20, 6, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 0, 0});
    ModernLayout l = layoutOf(m);
    // Card at the shadow margin; the row at its inner margins; chevron slot, spacing, cells.
    EXPECT_EQ(l.recents.frame, QRectF(66, 62, 692, 64));
    EXPECT_EQ(l.leading.slot.x(), 66);
    EXPECT_EQ(l.leading.slot.width(), 16);
    EXPECT_EQ(l.trailing.slot.x(), 92 + 640 + 10);
    ASSERT_EQ(l.recents.cellList.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        const ModernCell& c = l.recents.cellList[i];
        EXPECT_EQ(c.frame, QRectF(92 + 72 * i, 62, 64, 64)) << i;
        EXPECT_EQ(c.icon, QRectF(92 + 72 * i + 6, 68, 52, 52)) << i;
        EXPECT_EQ(c.iconOpacity, i == 4 ? 1 : 0.6) << i;
        EXPECT_EQ(c.iconScale, i == 4 ? 1.06 : 1) << i;
    }
    EXPECT_EQ(l.recents.plate, QRectF(92 + 72 * 4, 62, 64, 64));
    EXPECT_EQ(l.recents.plateOpacity, 1);
    EXPECT_EQ(l.scrollTrack, QRectF(92, 62 + 64 + 10, 640, 3));
    EXPECT_EQ(l.caption.frame.width(), 360);
    EXPECT_EQ(l.caption.frame.x(), 44 + 22 + (692 - 360) / 2);
}

TEST(ModernLayout, HiddenChevronsKeepTheirSlots) {
    HUDModel m;
    fill(m, {"", 20, 0, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 0, 0});
    ModernLayout first = layoutOf(m);
    EXPECT_EQ(first.leading.opacity, 0);
    EXPECT_EQ(first.trailing.opacity, 0.6);
    fill(m, {"", 20, 10, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 0, 0});
    ModernLayout middle = layoutOf(m);
    EXPECT_EQ(middle.leading.opacity, 0.6);
    EXPECT_EQ(first.leading.slot, middle.leading.slot);
    EXPECT_EQ(first.recents.cells, middle.recents.cells);
}

TEST(ModernLayout, RecentsWithoutTheFocusPeek) {
    HUDModel m;
    fill(m, {"", 20, 3, 2, SwitcherRow::favourites, HUDLabelStyle::caption, true, 0, 0});
    m.favSelected.set(1);
    ModernLayout l = layoutOf(m);
    for (const ModernCell& c : l.recents.cellList) {
        EXPECT_EQ(c.frame.width(), 46);
        EXPECT_EQ(c.box.size(), QSizeF(30, 30));
        EXPECT_EQ(c.icon.size(), QSizeF(20, 20));
        EXPECT_EQ(c.iconOpacity, 0.5);
        EXPECT_FALSE(c.selected);
    }
    EXPECT_EQ(l.recents.plateOpacity, 0);
    EXPECT_EQ(l.leading.opacity + l.trailing.opacity, 0);
    EXPECT_EQ(l.leading.slot.width(), 16);
    EXPECT_FALSE(l.scrollPresent);
    // The favourites row leads with a 24-point glyph slot and 76-point cells.
    EXPECT_EQ(l.favourites.glyphSlot.size(), QSizeF(24, 64));
    EXPECT_EQ(l.favourites.cellList[1].frame.x() - l.favourites.cellList[0].frame.x(), 76 + 8);
    EXPECT_EQ(l.favourites.plate.center().x(), l.favourites.cellList[1].frame.center().x());
}

TEST(ModernLayout, PlaceholderKeepsFullOpacityAndALargerPeekIcon) {
    HUDModel m;
    fill(m, {"", 5, 0, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 0, 0});
    m.favourites.set(placeholderRow());
    ModernLayout peek = layoutOf(m);
    EXPECT_EQ(peek.favourites.cellList[0].icon.size(), QSizeF(24, 24));
    EXPECT_EQ(peek.favourites.cellList[0].iconOpacity, 1);
    EXPECT_EQ(peek.favourites.glyphSlot.size(), QSizeF(16, 30));
    m.focus.set(SwitcherRow::favourites);
    EXPECT_EQ(layoutOf(m).favourites.cellList[0].icon.size(), QSizeF(52, 52));
}

TEST(ModernLayout, LabelsOnlyUnderTheFocusedRow) {
    HUDModel m;
    fill(m, {"", 4, 1, 2, SwitcherRow::recents, HUDLabelStyle::perIcon, true, 0, 0}, true);
    ModernLayout l = layoutOf(m);
    EXPECT_FALSE(l.caption.present);
    for (const ModernCell& c : l.favourites.cellList) EXPECT_TRUE(c.label.isNull());
    const ModernCell& c = l.recents.cellList[1];
    EXPECT_EQ(c.frame.width(), 120);
    EXPECT_EQ(c.label, QRectF(c.frame.x() + 3, c.frame.y() + 64 + 4, 114, 40));
    EXPECT_EQ(c.labelTitle.height(), line(13, QFont::DemiBold));
    EXPECT_TRUE(c.hasLabelSubtitle);
    EXPECT_EQ(c.labelOpacity, 1);
    EXPECT_EQ(l.recents.cellList[0].labelOpacity, 0.85);
}

TEST(ModernLayout, CaptionKeepsItsHeightWithNothingFocused) {
    HUDModel m;
    fill(m, {"", 4, 1, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 0, 0}, true);
    ModernLayout withSubtitle = layoutOf(m);
    EXPECT_EQ(withSubtitle.caption.frame.height(), line(18, QFont::DemiBold) + 3 + line(14, QFont::Normal));
    m.selected.set(7);
    ModernLayout none = layoutOf(m);
    EXPECT_EQ(none.caption.index, -1);
    EXPECT_EQ(none.caption.frame.height(), line(18, QFont::DemiBold));
    EXPECT_EQ(none.recents.plateOpacity, 0);
}

TEST(ModernLayout, RingAppearsAboveATenthOfTheWay) {
    HUDModel m;
    fill(m, {"", 4, 1, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 0, 0});
    const double height = layoutOf(m).size.height();
    m.cancelProgress.set(0.1);
    EXPECT_FALSE(layoutOf(m).ringPresent);
    m.cancelProgress.set(0.11);
    ModernLayout l = layoutOf(m);
    EXPECT_TRUE(l.ringPresent);
    EXPECT_EQ(l.ring.size(), QSizeF(22, 22));
    EXPECT_EQ(l.size.height(), height + 32);
    EXPECT_EQ(l.ring.center().x(), l.card.center().x());
}

TEST(ModernLayout, LightAndDarkDifferOnlyInColour) {
    HUDModel m;
    fill(m, {"", 20, 6, 3, SwitcherRow::recents, HUDLabelStyle::perIcon, true, 0, 0}, true);
    m.cancelProgress.set(0.5);
    ModernLayout light = layoutOf(m, ColorScheme::light), dark = layoutOf(m, ColorScheme::dark);
    EXPECT_EQ(light.size, dark.size);
    EXPECT_EQ(light.card, dark.card);
    EXPECT_EQ(light.ring, dark.ring);
    for (std::size_t i = 0; i < light.recents.cellList.size(); ++i) {
        EXPECT_EQ(light.recents.cellList[i].frame, dark.recents.cellList[i].frame);
        EXPECT_EQ(light.recents.cellList[i].label, dark.recents.cellList[i].label);
    }
    EXPECT_EQ(light.colours.secondary, QColor::fromRgbF(0, 0, 0, 0.55f));
    EXPECT_EQ(dark.colours.secondary, QColor::fromRgbF(1, 1, 1, 0.85f));
    EXPECT_EQ(light.colours.border, QColor::fromRgbF(0, 0, 0, 0.07f));
    EXPECT_EQ(dark.colours.border, QColor::fromRgbF(1, 1, 1, 0.14f));
    EXPECT_EQ(light.colours.shadow, QColor::fromRgbF(0, 0, 0, 0.18f));
    EXPECT_EQ(dark.colours.shadow, QColor::fromRgbF(0, 0, 0, 0.4f));
    EXPECT_EQ(layoutOf(m, ColorScheme::dark, false).colours.material.alpha(), 255);  // opaque without compositor
}

}  // namespace
}  // namespace trellick::test
