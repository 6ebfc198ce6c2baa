// The classic style's geometry, from the style's constants and the font's line metrics.

#include <gtest/gtest.h>

#include "OverlayTestSupport.h"
#include "overlay/ClassicLayout.h"
#include "overlay/OverlayFonts.h"

namespace trellick::test {
namespace {

const OverlayFonts& fonts() {
    static OverlayFonts f;
    return f;
}

ClassicLayout layoutOf(const HUDModel& m) {
    ClassicLayout l;
    layoutClassic(m, fonts(), Appearance{}, true, l);
    return l;
}

struct Shape {
    const char* name;
    int n, s, favourites;
    SwitcherRow focus;
    HUDLabelStyle labels;
    bool compact;
    double width;       // of the card, which is the panel
    double rowsHeight;  // the rows and the scroll indicator, spacing included; the caption comes on top
};

class ClassicShapes : public testing::TestWithParam<Shape> {};

TEST_P(ClassicShapes, CardSizeFollowsTheConstants) {
    const Shape& c = GetParam();
    HUDModel m;
    windowed(m, c.n, c.s, c.favourites, c.focus, c.labels, c.compact);
    ClassicLayout l = layoutOf(m);
    const double caption = c.labels == HUDLabelStyle::caption ? 10 + fonts().lineHeight(15, QFont::DemiBold) : 0;
    EXPECT_EQ(l.size, QSizeF(c.width, 2 * 20 + c.rowsHeight + caption));
    EXPECT_EQ(l.card, QRectF(QPointF(0, 0), l.size));  // no shadow margin
}

// Recents cells 72 (104 with labels) 6 apart, an ellipsis of 18 and 6 for each side with more
// entries; peek cells 46; favourites 80 after a 24 (16) glyph slot and 8; the scroll indicator 3 + 10.
INSTANTIATE_TEST_SUITE_P(
    Cases, ClassicShapes,
    testing::Values(
        Shape{"moreAfter", 20, 0, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 760, 72 + 13},
        Shape{"moreOnBothSides", 20, 10, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 784, 72 + 13},
        Shape{"nineOfNine", 9, 8, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 736, 72},
        Shape{"threeUnderCaption", 3, 1, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 360, 72},
        Shape{"perIcon", 20, 10, 0, SwitcherRow::recents, HUDLabelStyle::perIcon, true, 1072, 72 + 44 + 13},
        Shape{"favouritesPeek", 20, 0, 3, SwitcherRow::recents, HUDLabelStyle::caption, true, 760, 30 + 10 + 72 + 13},
        Shape{"favouritesFocused", 20, 0, 3, SwitcherRow::favourites, HUDLabelStyle::caption, true, 502, 72 + 10 + 30},
        Shape{"favouritesFocusedWide", 20, 0, 3, SwitcherRow::favourites, HUDLabelStyle::caption, false, 736,
              72 + 10 + 30},
        Shape{"favouritesFocusedLabels", 4, 0, 2, SwitcherRow::favourites, HUDLabelStyle::perIcon, true, 242,
              72 + 44 + 10 + 30}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClassicLayout, PlacesCellsTileEllipsesAndScrollIndicator) {
    HUDModel m;
    windowed(m, 20, 6);
    ClassicLayout l = layoutOf(m);
    const double ellipsisH = fonts().lineHeight(20, QFont::Bold);
    EXPECT_EQ(l.leading.frame, QRectF(20, 20, 18, ellipsisH));  // top-aligned with the cells
    EXPECT_EQ(l.trailing.frame, QRectF(44 + 696 + 6, 20, 18, ellipsisH));
    ASSERT_EQ(l.recents.cellList.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        const ClassicCell& c = l.recents.cellList[i];
        EXPECT_EQ(c.frame, QRectF(44 + 78 * i, 20, 72, 72)) << i;
        EXPECT_EQ(c.box, c.frame) << i;
        EXPECT_EQ(c.icon, QRectF(52 + 78 * i, 28, 56, 56)) << i;
        EXPECT_EQ(c.iconOpacity, 1) << i;  // only the tile marks the selection
        EXPECT_EQ(c.tileOpacity, i == 4 ? 1 : 0) << i;
    }
    EXPECT_EQ(l.scrollTrack, QRectF(44, 20 + 72 + 10, 696, 3));
    EXPECT_EQ(l.caption.frame,
              QRectF(20 + (744 - 320) / 2, 20 + 72 + 10 + 3 + 10, 320, fonts().lineHeight(15, QFont::DemiBold)));
}

TEST(ClassicLayout, LeadingEllipsisTakesNoWidthWhileNothingLiesBefore) {
    HUDModel m;
    windowed(m, 20, 4);
    ClassicLayout start = layoutOf(m);
    EXPECT_TRUE(start.leading.frame.isNull());
    EXPECT_EQ(start.recents.cells.left(), 20);
    windowed(m, 20, 5);  // the window starts sliding
    ClassicLayout sliding = layoutOf(m);
    EXPECT_EQ(sliding.leading.opacity, 1);
    EXPECT_EQ(sliding.recents.cells.left(), 20 + 18 + 6);
    EXPECT_EQ(sliding.size.width(), start.size.width() + 24);
}

TEST(ClassicLayout, RecentsWithoutTheFocusPeek) {
    HUDModel m;
    windowed(m, 20, 6, 3, SwitcherRow::favourites);
    m.favSelected.set(1);
    ClassicLayout l = layoutOf(m);
    for (const ClassicCell& c : l.recents.cellList) {
        EXPECT_EQ(c.frame.width(), 46);
        EXPECT_EQ(c.box.size(), QSizeF(30, 30));
        EXPECT_EQ(c.icon.size(), QSizeF(20, 20));
        EXPECT_EQ(c.iconOpacity, 0.5);
        EXPECT_EQ(c.tileOpacity, 0);
    }
    EXPECT_TRUE(l.leading.frame.isNull() && l.trailing.frame.isNull());
    EXPECT_FALSE(l.scrollPresent);
    EXPECT_EQ(l.favourites.glyphSlot.size(), QSizeF(24, 72));
    EXPECT_EQ(l.favourites.cellList[2].frame.x() - l.favourites.cellList[1].frame.x(), 80 + 6);
    EXPECT_EQ(l.favourites.cellList[1].tileOpacity, 1);
}

TEST(ClassicLayout, PlaceholderKeepsFullOpacityAndALargerPeekIcon) {
    HUDModel m;
    windowed(m, 5, 0);
    m.favourites.set(placeholderRow());
    ClassicLayout l = layoutOf(m);
    EXPECT_EQ(l.favourites.cellList[0].icon.size(), QSizeF(24, 24));
    EXPECT_EQ(l.favourites.cellList[0].iconOpacity, 1);
    EXPECT_EQ(l.favourites.glyphSlot.size(), QSizeF(16, 30));
}

TEST(ClassicLayout, LabelsOnlyUnderTheFocusedRow) {
    HUDModel m;
    windowed(m, 4, 1, 2, SwitcherRow::recents, HUDLabelStyle::perIcon, true, true);
    ClassicLayout l = layoutOf(m);
    EXPECT_FALSE(l.caption.present);
    for (const ClassicCell& c : l.favourites.cellList) EXPECT_TRUE(c.label.isNull());
    const ClassicCell& c = l.recents.cellList[1];
    EXPECT_EQ(c.frame.width(), 104);
    EXPECT_EQ(c.label, QRectF(c.frame.x() + 2, c.frame.y() + 72 + 4, 100, 40));
    EXPECT_EQ(c.labelTitle.height(), fonts().lineHeight(13, QFont::Bold));
    EXPECT_EQ(c.labelSubtitle.top(), c.labelTitle.bottom() + 1);
    EXPECT_EQ(l.recents.cellList[0].labelTitle.height(), fonts().lineHeight(13, QFont::Medium));
}

TEST(ClassicLayout, RingAppearsAboveATenthOfTheWay) {
    HUDModel m;
    windowed(m, 4, 1);
    const double height = layoutOf(m).size.height();
    m.cancelProgress.set(0.1);
    EXPECT_FALSE(layoutOf(m).ringPresent);
    m.cancelProgress.set(0.11);
    ClassicLayout l = layoutOf(m);
    EXPECT_EQ(l.size.height(), height + 10 + 22);
    EXPECT_EQ(l.ring, QRectF((l.size.width() - 22) / 2, height - 20 + 10, 22, 22));
}

}  // namespace
}  // namespace trellick::test
