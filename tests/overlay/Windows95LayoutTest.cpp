// The retro style's geometry, from the style's constants and the font's line metrics, and the
// arithmetic of its bevels, scroll bar and cancel pointer.

#include <gtest/gtest.h>

#include <cmath>

#include "OverlayTestSupport.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Windows95Layout.h"

namespace trellick::test {
namespace {

const OverlayFonts& fonts() {
    static OverlayFonts f;
    return f;
}

Windows95Layout layoutOf(const HUDModel& m) {
    Windows95Layout l;
    layoutWindows95(m, fonts(), l);
    return l;
}

// The title bar with its insets, the content's top margin and its bottom margin.
double chrome() {
    return std::max(fonts().lineHeight(12, QFont::Bold), 14.0) + 6 + 6 + 6 + 12;
}

struct Shape {
    const char* name;
    int n, s, favourites;
    SwitcherRow focus;
    HUDLabelStyle labels;
    bool compact;
    double width;
    double rowsHeight;  // rows and scroll bar, spacing included; the status field comes on top
};

class Windows95Shapes : public testing::TestWithParam<Shape> {};

TEST_P(Windows95Shapes, WindowSizeFollowsTheConstants) {
    const Shape& c = GetParam();
    HUDModel m;
    windowed(m, c.n, c.s, c.favourites, c.focus, c.labels, c.compact);
    Windows95Layout l = layoutOf(m);
    const double status = c.labels == HUDLabelStyle::caption ? 10 + fonts().lineHeight(13, QFont::Bold) + 8 : 0;
    EXPECT_EQ(l.size, QSizeF(c.width, chrome() + c.rowsHeight + status));
    EXPECT_EQ(l.window, QRectF(QPointF(0, 0), l.size));
}

// Content margins 14; recents cells 64 (100 with labels) 6 apart between two 16-point arrow
// slots; cells padded by 2; peek cells 44; favourites 72 after a 22 (14) glyph slot and 8; the
// scroll bar 12 + 10; the status field 300 + 16 wide.
INSTANTIATE_TEST_SUITE_P(
    Cases, Windows95Shapes,
    testing::Values(
        Shape{"nineOfTwenty", 20, 0, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 696, 64 + 22},
        Shape{"nineOfNine", 9, 8, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 696, 64},
        Shape{"oneUnderStatus", 1, 0, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, 344, 64},
        Shape{"perIcon", 20, 10, 0, SwitcherRow::recents, HUDLabelStyle::perIcon, true, 1020, 103 + 22},
        Shape{"favouritesPeek", 20, 0, 3, SwitcherRow::recents, HUDLabelStyle::caption, true, 696, 34 + 10 + 64 + 22},
        Shape{"favouritesFocused", 20, 0, 3, SwitcherRow::favourites, HUDLabelStyle::caption, true, 516, 64 + 10 + 34},
        Shape{"favouritesFocusedWide", 20, 0, 3, SwitcherRow::favourites, HUDLabelStyle::caption, false, 696,
              64 + 10 + 34}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Windows95Layout, ANarrowListTakesTheTitleBarsLeastWidth) {
    HUDModel m;
    windowed(m, 1, 0, 0, SwitcherRow::recents, HUDLabelStyle::perIcon);
    Windows95Layout l = layoutOf(m);
    EXPECT_GT(l.size.width(), 14 + 144 + 14);
    EXPECT_NEAR(l.buttons[0].frame.left() - l.titleText.right(), 6 + 24 + 6, 1);  // the least gap
    EXPECT_EQ(l.titleBar, QRectF(3, 3, l.size.width() - 6, l.titleBar.height()));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(l.buttons[i].frame.size(), QSizeF(16, 14));
        EXPECT_EQ(l.buttons[i].frame.right(), l.size.width() - 3 - 4 - 22 * (2 - i));
        EXPECT_EQ(l.buttons[i].frame.center().y(), l.titleBar.center().y());
    }
    EXPECT_EQ(l.closeButton, l.buttons[2].frame);
}

TEST(Windows95Layout, PlacesCellsArrowsScrollBarAndStatus) {
    HUDModel m;
    windowed(m, 20, 6);
    Windows95Layout l = layoutOf(m);
    const double top = chrome() - 12;  // of the recents row
    const double arrowH = symbolSize(Symbol::arrowtriangleLeftFill, 11).height();
    EXPECT_EQ(l.left.slot, QRectF(14, top, 16, arrowH));
    EXPECT_EQ(l.right.slot, QRectF(36 + 624 + 6, top, 16, arrowH));
    EXPECT_EQ(l.left.opacity + l.right.opacity, 2);
    for (int i = 0; i < 9; ++i) {
        const Win95Cell& c = l.recents.cellList[i];
        EXPECT_EQ(c.frame, QRectF(36 + 70 * i, top, 64, 64)) << i;
        EXPECT_EQ(c.block, c.frame) << i;
        EXPECT_EQ(c.box, QRectF(38 + 70 * i, top + 2, 60, 60)) << i;
        EXPECT_EQ(c.icon, QRectF(44 + 70 * i, top + 8, 48, 48)) << i;
        EXPECT_EQ(c.selected, i == 4) << i;
    }
    EXPECT_EQ(l.selectedIcon, l.recents.cellList[4].box);
    EXPECT_EQ(l.scroll.track, QRectF(36, top + 64 + 10, 624, 12));
    // Thumb: 9 of 20 of the track, cursor 6 of 19 along what the inner track leaves.
    EXPECT_NEAR(l.scroll.thumb.x(), 36 + 1 + (622 - 280.8) * 6 / 19, 1e-9);
    EXPECT_EQ(l.scroll.thumb.y(), top + 64 + 10 + 2);
    EXPECT_NEAR(l.scroll.thumb.width(), 280.8, 1e-9);
    EXPECT_EQ(l.scroll.thumb.height(), 8);
    EXPECT_EQ(l.status.frame,
              QRectF(14 + (668 - 316) / 2, top + 64 + 10 + 12 + 10, 316, fonts().lineHeight(13, QFont::Bold) + 8));
}

TEST(Windows95Layout, RowWithoutTheFocusKeepsItsArrowSlotsButHidesThem) {
    HUDModel m;
    windowed(m, 20, 6, 3, SwitcherRow::favourites);
    m.favSelected.set(2);
    Windows95Layout l = layoutOf(m);
    EXPECT_EQ(l.left.opacity + l.right.opacity, 0);
    EXPECT_EQ(l.left.slot.width(), 16);
    EXPECT_EQ(l.right.slot.left(), l.recents.cells.right() + 6);
    for (const Win95Cell& c : l.recents.cellList) {
        EXPECT_EQ(c.frame.width(), 44);
        EXPECT_EQ(c.block.size(), QSizeF(34, 34));
        EXPECT_EQ(c.icon.size(), QSizeF(20, 20));
        EXPECT_EQ(c.iconOpacity, 0.5);
        EXPECT_FALSE(c.selected);
    }
    EXPECT_FALSE(l.scroll.present);
    EXPECT_EQ(l.favourites.glyphSlot.size(), QSizeF(22, 60));
    EXPECT_EQ(l.selectedIcon, l.favourites.cellList[2].box);
}

TEST(Windows95Layout, PerIconLabelsAndStatusField) {
    HUDModel m;
    windowed(m, 4, 1, 0, SwitcherRow::recents, HUDLabelStyle::perIcon);
    Windows95Layout l = layoutOf(m);
    EXPECT_FALSE(l.status.present);
    const Win95Cell& c = l.recents.cellList[1];
    EXPECT_EQ(c.block, QRectF(c.frame.x() + 1, c.frame.y(), 98, 60 + 3 + 36 + 4));  // centred in 100
    EXPECT_EQ(c.label, QRectF(c.frame.x() + 3, c.box.bottom() + 3, 94, 36));
    windowed(m, 4, 1, 0, SwitcherRow::recents, HUDLabelStyle::caption, true, true);
    l = layoutOf(m);
    EXPECT_EQ(l.status.subtitle.top(), l.status.title.bottom() + 1);
    EXPECT_EQ(l.status.frame.height(),
              4 + fonts().lineHeight(13, QFont::Bold) + 1 + fonts().lineHeight(11, QFont::Normal) + 4);
}

TEST(Windows95Layout, CloseButtonIsPressedOnlyAboveTheThreshold) {
    HUDModel m;
    windowed(m, 5, 1);
    for (auto [progress, pressed] : {std::pair{0.0, false}, {0.82, false}, {0.8201, true}, {1.0, true}}) {
        m.cancelProgress.set(progress);
        Windows95Layout l = layoutOf(m);
        EXPECT_EQ(l.buttons[2].pressed, pressed) << progress;
        EXPECT_FALSE(l.buttons[0].pressed || l.buttons[1].pressed);
    }
}

TEST(Win95Bevel, StripsInOrderRaisedAndSunken) {
    const QRectF r(10, 20, 30, 40);
    const QRectF rects[8] = {{10, 20, 30, 1}, {10, 20, 1, 40}, {10, 59, 30, 1}, {39, 20, 1, 40},
                             {11, 21, 28, 1}, {11, 21, 1, 38}, {11, 58, 28, 1}, {38, 21, 1, 38}};
    const QColor white(Qt::white);
    const QColor raised[8] = {white,       white,      Win95::ink, Win95::ink, Win95::silverLight, Win95::silverLight,
                              Win95::gray, Win95::gray};
    const QColor sunken[8] = {Win95::gray,        Win95::gray,       white, white, Win95::ink, Win95::ink,
                              Win95::silverLight, Win95::silverLight};
    auto up = Win95Bevel{true}.strips(r), down = Win95Bevel{false}.strips(r);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(up[i].rect, rects[i]) << i;
        EXPECT_EQ(up[i].colour, raised[i]) << i;
        EXPECT_EQ(down[i].rect, rects[i]) << i;
        EXPECT_EQ(down[i].colour, sunken[i]) << i;
    }
}

struct ThumbCase {
    int count, visible, absolute;
    double width;
    double length, offset;
};

class Win95ScrollThumb : public testing::TestWithParam<ThumbCase> {};

TEST_P(Win95ScrollThumb, FollowsTheCursorInsideTheTrack) {
    const auto c = GetParam();
    Win95Thumb t = win95Thumb(c.count, c.visible, c.absolute, c.width);
    EXPECT_NEAR(t.length, c.length, 1e-9);
    EXPECT_NEAR(t.offset, c.offset, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cases, Win95ScrollThumb,
                         testing::Values(ThumbCase{20, 9, 0, 624, 280.8, 0}, ThumbCase{20, 9, 19, 624, 280.8, 341.2},
                                         ThumbCase{200, 9, 100, 100, 24, 74.0 * 100 / 199},
                                         ThumbCase{1, 1, 0, 100, 98, 0},  // as long as the inner track
                                         ThumbCase{0, 0, 0, 10, 8, 0}, ThumbCase{20, 9, 40, 624, 280.8, 341.2}));

struct PointerCase {
    const char* name;
    bool icon, close;
    double progress;
    bool drawn;
    QPointF tip;
};

class Win95Pointer : public testing::TestWithParam<PointerCase> {};

// An icon at (100, 50) of 60 and a close button at (600, 8) of 16 x 14, in a 640 x 200 window.
TEST_P(Win95Pointer, GlidesFromTheIconToTheCloseButton) {
    const auto c = GetParam();
    std::optional<QRectF> icon, close;
    if (c.icon) icon = QRectF(100, 50, 60, 60);
    if (c.close) close = QRectF(600, 8, 16, 14);
    Win95CancelPointer p = win95CancelPointer(icon, close, QSizeF(640, 200), c.progress);
    EXPECT_EQ(p.drawn, c.drawn);
    EXPECT_NEAR(p.tip().x(), c.tip.x(), 1e-9);
    EXPECT_NEAR(p.tip().y(), c.tip.y(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Win95Pointer,
    testing::Values(PointerCase{"restsOnTheIcon", true, true, 0, true, {127, 75.2}},
                    PointerCase{"halfWay", true, true, 0.5, true, {367.5, 45.1}},
                    PointerCase{"onTheCloseButton", true, true, 1, true, {608, 15}},
                    PointerCase{"beyondTheEnd", true, true, 1.4, true, {608, 15}},
                    PointerCase{"notANumber", true, true, std::nan(""), true, {127, 75.2}},
                    PointerCase{"noIconHidden", false, true, 0.02, false, {320 + 0.02 * 288, 110 - 0.02 * 95}},
                    PointerCase{"noIconFromTheCentreArea", false, true, 0.5, true, {464, 62.5}},
                    PointerCase{"neitherKnown", false, false, 1, true, {625, 13}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trellick::test
