// The three styles' geometry, from each style's constants and the font's line metrics, for
// models as the controller leaves them; then the retro style's own arithmetic.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "OverlayTestSupport.h"

namespace trellick::test {
namespace {

constexpr HUDStyle modern = HUDStyle::modern, classic = HUDStyle::classic, retro = HUDStyle::windows95;
constexpr QFont::Weight bold = QFont::Bold, demiBold = QFont::DemiBold, normal = QFont::Normal;

// The retro title bar with its insets, and the content's top margin: where its rows start.
double retroTop() {
    return std::max(line(12, bold), 14.0) + 6 + 6 + 6;
}

// Height around the rows: margins (and the retro title bar), and the caption (the retro status
// field) with the spacing above it.
double around(HUDStyle style, bool caption) {
    if (style == modern) return 2 * 44 + 2 * 18 + (caption ? 10 + line(18, demiBold) : 0);
    if (style == classic) return 2 * 20 + (caption ? 10 + line(15, demiBold) : 0);
    return retroTop() + 12 + (caption ? 10 + line(13, bold) + 8 : 0);
}

struct Shape {
    const char* name;
    int n, s, favourites;
    SwitcherRow focus;
    HUDLabelStyle labels;
    bool compact;
    // Per style (modern, classic, retro): the width, and the height of the rows and the
    // scroll indicator with their spacing.
    std::array<QSizeF, 3> expected;
};

class Shapes : public testing::TestWithParam<Shape> {};

TEST_P(Shapes, SizeFollowsTheStyleConstants) {
    const Shape& c = GetParam();
    for (int i = 0; i < 3; ++i) {
        const HUDStyle style = std::array{modern, classic, retro}[i];
        SCOPED_TRACE(static_cast<int>(style));
        ControllerRig rig(style);
        rig.show(targets(c.n), c.s, targets(c.favourites, "Fav "), 0, c.focus, c.labels, c.compact);
        const StyleLayout l = rig.layout();
        const bool caption = c.labels == HUDLabelStyle::caption;
        EXPECT_EQ(l.size, QSizeF(c.expected[i].width(), around(style, caption) + c.expected[i].height()));
        const double pad = style == modern ? 44 : 0;  // room for the modern card's shadow
        EXPECT_EQ(l.card, QRectF(QPointF(0, 0), l.size).adjusted(pad, pad, -pad, -pad));
        // Marks for entries beyond the window (the modern chevrons at 0.6), and the scroll
        // indicator, only in a focused recents row.
        const HUDModel& m = rig.hud.model();
        const bool recents = c.focus == SwitcherRow::recents;
        const double shown = style == modern ? 0.6 : 1;
        EXPECT_EQ(l.leadingOpacity, recents && m.moreBefore() ? shown : 0);
        EXPECT_EQ(l.trailingOpacity, recents && m.moreAfter() ? shown : 0);
        EXPECT_EQ(l.scroll, recents && (m.moreBefore() || m.moreAfter()));
        EXPECT_EQ(l.captionShown, caption);
    }
}

// Recents cells: modern 64 (120 with labels) 8 apart between 16-point chevron slots 10 away;
// classic 72 (104) 6 apart, an 18-point ellipsis 6 away only where entries lie beyond;
// retro 64 (100) 6 apart between 16-point arrow slots 6 away. Peek cells 46, 46, 44.
// Favourites: a glyph slot of 24, 24, 22 (16, 16, 14 peeking) and 8, then cells of 76, 80, 72.
// Scroll indicators 3, 3 and 12 high, 10 below the row.
const auto caption = HUDLabelStyle::caption, perIcon = HUDLabelStyle::perIcon;
const auto recents = SwitcherRow::recents, favourites = SwitcherRow::favourites;
INSTANTIATE_TEST_SUITE_P(
    Cases, Shapes,
    testing::Values(
        Shape{"nineOfTwenty", 20, 0, 0, recents, caption, true, {{{824, 77}, {760, 85}, {696, 86}}}},
        Shape{"middleOfTwenty", 20, 10, 0, recents, caption, true, {{{824, 77}, {784, 85}, {696, 86}}}},
        Shape{"nineOfNine", 9, 8, 0, recents, caption, true, {{{824, 64}, {736, 72}, {696, 64}}}},
        Shape{"oneUnderTheCaption", 1, 0, 0, recents, caption, true, {{{492, 64}, {360, 72}, {344, 64}}}},
        Shape{"perIcon", 20, 10, 0, recents, perIcon, true, {{{1328, 121}, {1072, 129}, {1020, 125}}}},
        Shape{"favouritesPeek", 20, 0, 3, recents, caption, true, {{{824, 117}, {760, 125}, {696, 130}}}},
        Shape{"favouritesFocused", 20, 0, 3, favourites, caption, true, {{{662, 104}, {502, 112}, {516, 108}}}},
        Shape{"favouritesFocusedWide", 20, 0, 3, favourites, caption, false, {{{824, 104}, {736, 112}, {696, 108}}}},
        Shape{"favouritesFocusedLabels", 4, 0, 2, favourites, perIcon, true, {{{392, 148}, {242, 156}, {266, 147}}}}),
    [](const auto& info) { return std::string(info.param.name); });

QRectF centred(QRectF in, double side) {
    return QRectF(in.center() - QPointF(side, side) / 2, QSizeF(side, side));
}

TEST(StyleLayouts, TheFocusedRowStepsItsCellsAndMarksTheSelection) {
    struct Case {
        HUDStyle style;
        double x, top, pitch, side, box, icon;  // of the recents cells
        double dimmed, scale;                   // the other icons' opacity, the selected icon's scale
        double leading, trailing, marksWidth;   // the marks' x and width
        bool centred;                           // the marks: on the row's middle, else at its top
        double track;                           // the scroll indicator's height
    };
    const double t = retroTop();
    for (const Case& c : {Case{modern, 92, 62, 72, 64, 64, 52, 0.6, 1.06, 66, 742, 16, true, 3},
                          Case{classic, 44, 20, 78, 72, 72, 56, 1, 1, 20, 746, 18, false, 3},
                          Case{retro, 36, t, 70, 64, 60, 48, 1, 1, 14, 666, 16, false, 12}}) {
        SCOPED_TRACE(static_cast<int>(c.style));
        ControllerRig rig(c.style);
        rig.show(targets(20), 6);
        const StyleLayout l = rig.layout();
        ASSERT_EQ(l.recents.size(), 9u);
        for (int i = 0; i < 9; ++i) {
            const StyleLayout::Cell& cell = l.recents[i];
            EXPECT_EQ(cell.frame, QRectF(c.x + c.pitch * i, c.top, c.side, c.side)) << i;
            EXPECT_EQ(cell.box, centred(cell.frame, c.box)) << i;
            EXPECT_EQ(cell.block, c.style == retro ? cell.frame : cell.box) << i;
            EXPECT_EQ(cell.icon, centred(cell.frame, c.icon)) << i;
            EXPECT_EQ(cell.selected, i == 4) << i;
            EXPECT_EQ(cell.iconOpacity, i == 4 ? 1 : c.dimmed) << i;
            EXPECT_EQ(cell.iconScale, i == 4 ? c.scale : 1) << i;
        }
        for (auto [mark, x] : {std::pair{l.leading, c.leading}, {l.trailing, c.trailing}}) {
            EXPECT_EQ(mark.x(), x);
            EXPECT_EQ(mark.width(), c.marksWidth);
            EXPECT_EQ(c.centred ? mark.center().y() : mark.top(), c.centred ? c.top + c.side / 2 : c.top);
        }
        EXPECT_EQ(l.scrollTrack, QRectF(c.x, c.top + c.side + 10, 8 * c.pitch + c.side, c.track));
        EXPECT_EQ(l.caption.top(), l.scrollTrack.bottom() + 10);
    }
}

TEST(StyleLayouts, TheRowWithoutTheFocusPeeks) {
    struct Case {
        HUDStyle style;
        double peekCell, peekBlock, favPitch;  // the block: the retro navy block, else the box
        QSizeF glyph;
    };
    for (const Case& c :
         {Case{modern, 46, 30, 84, {24, 64}}, Case{classic, 46, 30, 86, {24, 72}}, Case{retro, 44, 34, 78, {22, 60}}}) {
        SCOPED_TRACE(static_cast<int>(c.style));
        ControllerRig rig(c.style);
        rig.show(targets(20), 6, targets(3, "Fav "), 1, favourites);
        const StyleLayout l = rig.layout();
        for (const StyleLayout::Cell& cell : l.recents) {
            EXPECT_EQ(cell.frame.width(), c.peekCell);
            EXPECT_EQ(cell.box, centred(cell.frame, 30));
            EXPECT_EQ(cell.block, centred(cell.frame, c.peekBlock));
            EXPECT_EQ(cell.icon, centred(cell.frame, 20));
            EXPECT_EQ(cell.iconOpacity, 0.5);
            EXPECT_FALSE(cell.selected);
        }
        EXPECT_EQ(l.glyphSlot.size(), c.glyph);
        EXPECT_EQ(l.favourites[1].frame.x() - l.favourites[0].frame.x(), c.favPitch);
        EXPECT_TRUE(l.favourites[1].selected);
    }
}

TEST(StyleLayouts, APeekingPlaceholderKeepsFullOpacityAndALargerIcon) {
    for (auto [style, glyph, full] : {std::tuple{modern, 16, 52}, {classic, 16, 56}, {retro, 14, 48}}) {
        SCOPED_TRACE(static_cast<int>(style));
        ControllerRig rig(style);
        rig.show(targets(5), 0, placeholderRow());
        const StyleLayout peek = rig.layout();
        EXPECT_EQ(peek.favourites[0].icon.size(), QSizeF(24, 24));
        EXPECT_EQ(peek.favourites[0].iconOpacity, 1);
        EXPECT_EQ(peek.glyphSlot.size(), QSizeF(glyph, 30));
        rig.show(targets(5), 0, placeholderRow(), 0, favourites);
        EXPECT_EQ(rig.layout().favourites[0].icon.size(), QSizeF(full, full));
    }
}

TEST(StyleLayouts, PerIconLabelsOnlyUnderTheFocusedRow) {
    struct Case {
        HUDStyle style;
        double cell;
        QRectF block, label;  // from the cell's top-left: the icon's box (retro: the navy block), the label
        double dimmed;        // the other labels' opacity
        QFont::Weight selectedTitle;
        double subtitleGap;  // below the title; the retro labels hold a title alone
    };
    for (const Case& c : {Case{modern, 120, {28, 0, 64, 64}, {3, 68, 114, 40}, 0.85, demiBold, 2},
                          Case{classic, 104, {16, 0, 72, 72}, {2, 76, 100, 40}, 1, bold, 1},
                          Case{retro, 100, {1, 0, 98, 103}, {3, 65, 94, 36}, 1, bold, 0}}) {
        SCOPED_TRACE(static_cast<int>(c.style));
        ControllerRig rig(c.style);
        rig.show(targets(4, "App ", true), 1, targets(2, "Fav "), 0, recents, perIcon);
        const StyleLayout l = rig.layout();
        EXPECT_FALSE(l.captionShown);
        for (const StyleLayout::Cell& cell : l.favourites) EXPECT_TRUE(cell.label.isNull());
        for (const StyleLayout::Cell& cell : l.recents) {
            EXPECT_EQ(cell.frame.width(), c.cell);
            EXPECT_EQ(cell.block, c.block.translated(cell.frame.topLeft()));
            EXPECT_EQ(cell.label, c.label.translated(cell.frame.topLeft()));
            EXPECT_EQ(cell.labelOpacity, cell.selected ? 1 : c.dimmed);
            if (c.style == retro) continue;
            const double title = line(13, cell.selected ? c.selectedTitle : QFont::Medium);
            EXPECT_EQ(cell.labelTitle, QRectF(cell.label.topLeft(), QSizeF(cell.label.width(), title)));
            EXPECT_EQ(cell.labelSubtitle.top(), cell.labelTitle.bottom() + c.subtitleGap);
        }
    }
}

TEST(StyleLayouts, TheCaptionNamesTheFocusedEntryAndKeepsItsHeightWithoutOne) {
    struct Case {
        HUDStyle style;
        double width, title, subtitle;  // the subtitle's height with its spacing
    };
    for (const Case& c : {Case{modern, 360, line(18, demiBold), 3 + line(14, normal)},
                          Case{classic, 320, line(15, demiBold), 2 + line(12, normal)},
                          Case{retro, 316, 8 + line(13, bold), 1 + line(11, normal)}}) {
        SCOPED_TRACE(static_cast<int>(c.style));
        ControllerRig rig(c.style);
        rig.show(targets(4, "App ", true), 1);
        StyleLayout l = rig.layout();
        EXPECT_EQ(l.captionIndex, 1);
        EXPECT_EQ(l.caption.size(), QSizeF(c.width, c.title + c.subtitle));
        EXPECT_EQ(l.caption.center().x(), l.card.center().x());
        rig.show(targets(4, "App ", true), 7);  // a cursor outside the list focuses nothing
        l = rig.layout();
        EXPECT_EQ(l.captionIndex, -1);
        EXPECT_EQ(l.caption.height(), c.title);
        EXPECT_TRUE(std::ranges::none_of(l.recents, &StyleLayout::Cell::selected));
    }
}

TEST(StyleLayouts, TheCancelRingAppearsAboveATenthOfTheWay) {
    for (HUDStyle style : {modern, classic}) {
        SCOPED_TRACE(static_cast<int>(style));
        ControllerRig rig(style);
        rig.show(targets(4), 1);
        rig.hud.setCancelProgress(0.1);
        const StyleLayout before = rig.layout();
        EXPECT_FALSE(before.ring);
        rig.hud.setCancelProgress(0.11);
        const StyleLayout l = rig.layout();
        ASSERT_TRUE(l.ring);
        EXPECT_EQ(l.size.height(), before.size.height() + 10 + 22);
        EXPECT_EQ(l.ringFrame, QRectF(l.card.center().x() - 11, before.caption.bottom() + 10, 22, 22));
    }
}

TEST(Windows95Layout, ANarrowListTakesTheTitleBarsLeastWidth) {
    ControllerRig rig(retro);
    rig.show(targets(1), 0, {}, 0, recents, perIcon);
    Windows95Layout l;
    layoutWindows95(rig.hud.model(), fonts(), l);
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

TEST(Windows95Layout, TheSelectedIconAndTheThumbFollowTheCursor) {
    ControllerRig rig(retro);
    rig.show(targets(20), 6);
    Windows95Layout l;
    layoutWindows95(rig.hud.model(), fonts(), l);
    EXPECT_EQ(l.selectedIcon, l.recents.cellList[4].box);
    const Win95Thumb thumb = win95Thumb(20, 9, 6, l.scroll.track.width());
    EXPECT_NEAR(l.scroll.thumb.x(), l.scroll.track.x() + 1 + thumb.offset, 1e-9);
    EXPECT_EQ(l.scroll.thumb.y(), l.scroll.track.y() + 2);
    EXPECT_EQ(l.scroll.thumb.size(), QSizeF(thumb.length, 8));
    rig.hud.hide();
    rig.show(targets(20), 6, targets(3, "Fav "), 2, favourites);
    layoutWindows95(rig.hud.model(), fonts(), l);
    EXPECT_EQ(l.selectedIcon, l.favourites.cellList.at(2).box);
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
