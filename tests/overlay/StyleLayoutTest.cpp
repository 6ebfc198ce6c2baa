// The three styles' geometry for models as the controller leaves them; then the retro style's own.

#include <gtest/gtest.h>

#include <algorithm>

#include "OverlayTestSupport.h"

namespace trellick::test {
namespace {

constexpr QFont::Weight bold = QFont::Bold, demiBold = QFont::DemiBold, normal = QFont::Normal;

const auto caption = HUDLabelStyle::caption, perIcon = HUDLabelStyle::perIcon;
const auto recents = SwitcherRow::recents, favourites = SwitcherRow::favourites;

// Marks for entries beyond the window (the modern chevrons at 0.6), and the scroll indicator,
// only in a focused recents row; the caption only with caption labels.
TEST(StyleLayouts, MarksAndCaptionFollowTheRowsAndLabels) {
    struct Shape {
        int n, s, favourites;
        SwitcherRow focus;
        HUDLabelStyle labels;
    };
    for (const Shape& c :
         {Shape{20, 0, 0, recents, caption}, Shape{20, 10, 0, recents, caption}, Shape{9, 8, 0, recents, caption},
          Shape{20, 10, 0, recents, perIcon}, Shape{20, 0, 3, favourites, caption}})
        for (HUDStyle style : {modern, classic, retro}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(style) << ": " << c.s << " of " << c.n);
            ControllerRig rig(style);
            rig.show(targets(c.n), c.s, targets(c.favourites, "Fav "), 0, c.focus, c.labels);
            const StyleLayout l = rig.layout();
            const HUDModel& m = rig.hud.model();
            const bool inRecents = c.focus == recents;
            const double shown = style == modern ? 0.6 : 1;
            EXPECT_EQ(l.leadingOpacity, inRecents && m.moreBefore() ? shown : 0);
            EXPECT_EQ(l.trailingOpacity, inRecents && m.moreAfter() ? shown : 0);
            EXPECT_EQ(l.scroll, inRecents && (m.moreBefore() || m.moreAfter()));
            EXPECT_EQ(l.captionShown, c.labels == caption);
        }
}

// The cells of a row lie inside the panel, evenly stepped and without overlapping, each part inside the one around it;
// the focused recents row marks the selection; shown with the favourites focused, it peeks, smaller and dimmed.
TEST(StyleLayouts, TheFocusedRowStepsItsCellsAndMarksTheSelectionTheOtherPeeks) {
    auto expectRows = [](const StyleLayout& l) {
        EXPECT_FALSE(l.favourites[0].frame.intersects(l.recents[0].frame));
        for (const auto* row : {&l.recents, &l.favourites}) {
            ASSERT_GE(row->size(), 2u);
            const double pitch = (*row)[1].frame.x() - (*row)[0].frame.x();
            for (std::size_t i = 0; i < row->size(); ++i) {
                const StyleLayout::Cell& cell = (*row)[i];
                EXPECT_TRUE(QRectF(QPointF(0, 0), l.size).contains(cell.frame) && cell.frame.contains(cell.box) &&
                            cell.box.contains(cell.icon))
                    << i;
                EXPECT_EQ(cell.frame.top(), (*row)[0].frame.top()) << i;
                EXPECT_DOUBLE_EQ(cell.frame.x() - (*row)[0].frame.x(), pitch * double(i)) << i;
                EXPECT_TRUE(i == 0 || cell.frame.left() >= (*row)[i - 1].frame.right()) << i;
            }
        }
    };
    for (HUDStyle style : {modern, classic, retro}) {
        SCOPED_TRACE(static_cast<int>(style));
        ControllerRig rig(style);
        rig.show(targets(20), 6, targets(3, "Fav "));
        StyleLayout l = rig.layout();
        ASSERT_EQ(l.recents.size(), 9u);
        expectRows(l);
        for (int i = 0; i < 9; ++i) {
            const StyleLayout::Cell& cell = l.recents[i];
            EXPECT_EQ(cell.selected, i == 4) << i;
            EXPECT_EQ(cell.iconOpacity == 1, i == 4 || style != modern) << i;
            EXPECT_EQ(cell.iconScale > 1, i == 4 && style == modern) << i;
        }
        // The scroll indicator spans the row below it, the caption below that.
        EXPECT_EQ(l.scrollTrack.left(), l.recents.front().frame.left());
        EXPECT_EQ(l.scrollTrack.right(), l.recents.back().frame.right());
        EXPECT_GT(l.scrollTrack.top(), l.recents.front().frame.bottom());
        EXPECT_GT(l.caption.top(), l.scrollTrack.bottom());
        EXPECT_TRUE(QRectF(QPointF(0, 0), l.size).contains(l.caption));

        const double focused = l.recents.front().frame.width();
        rig.hud.hide();
        rig.show(targets(20), 6, targets(3, "Fav "), 1, favourites);
        l = rig.layout();
        expectRows(l);
        for (const StyleLayout::Cell& cell : l.recents) {
            EXPECT_LT(cell.frame.width(), focused);
            EXPECT_EQ(cell.iconOpacity, 0.5);
            EXPECT_FALSE(cell.selected);
        }
        EXPECT_TRUE(QRectF(QPointF(0, 0), l.size).contains(l.glyphSlot));
        EXPECT_TRUE(l.favourites[1].selected);
    }
}

TEST(StyleLayouts, PerIconLabelsOnlyUnderTheFocusedRow) {
    for (HUDStyle style : {modern, classic, retro}) {
        SCOPED_TRACE(static_cast<int>(style));
        ControllerRig rig(style);
        rig.show(targets(4, "App ", true), 1, targets(2, "Fav "), 0, recents, perIcon);
        const StyleLayout l = rig.layout();
        const QRectF panel(QPointF(0, 0), l.size);
        EXPECT_FALSE(l.captionShown);
        for (const StyleLayout::Cell& cell : l.favourites) EXPECT_TRUE(cell.label.isNull());
        for (std::size_t i = 0; i < l.recents.size(); ++i) {
            const StyleLayout::Cell& cell = l.recents[i];
            // Under the icon, inside its cell's width (and the retro block), apart from the next.
            EXPECT_TRUE(panel.contains(cell.block) && panel.contains(cell.label)) << i;
            EXPECT_GT(cell.label.top(), cell.icon.top()) << i;
            EXPECT_TRUE(cell.label.left() >= cell.frame.left() && cell.label.right() <= cell.frame.right()) << i;
            EXPECT_TRUE(style != retro || cell.block.contains(cell.label)) << i;
            EXPECT_TRUE(i == 0 || cell.label.left() >= l.recents[i - 1].label.right()) << i;
            EXPECT_EQ(cell.labelOpacity == 1, cell.selected || style != modern) << i;
        }
    }
}

TEST(StyleLayouts, TheCaptionNamesTheFocusedEntryAndKeepsItsHeightWithoutOne) {
    struct Case {
        HUDStyle style;
        double width, title, subtitle;  // the subtitle's height with its spacing
    };
    for (const Case& c : {Case{modern, 360, fonts().lineHeight(18, demiBold), 3 + fonts().lineHeight(14, normal)},
                          Case{classic, 320, fonts().lineHeight(15, demiBold), 2 + fonts().lineHeight(12, normal)},
                          Case{retro, 316, 8 + fonts().lineHeight(13, bold), 1 + fonts().lineHeight(11, normal)}}) {
        SCOPED_TRACE(static_cast<int>(c.style));
        ControllerRig rig(c.style);
        rig.show(targets(2, "App ", true), 1);  // a row narrower than the caption
        StyleLayout l = rig.layout();
        EXPECT_TRUE(QRectF(QPointF(0, 0), l.size).contains(l.caption));
        EXPECT_EQ(l.captionIndex, 1);
        EXPECT_EQ(l.caption.size(), QSizeF(c.width, c.title + c.subtitle));
        EXPECT_EQ(l.caption.center().x(), l.card.center().x());
        rig.show(targets(2, "App ", true), 7);  // a cursor outside the list focuses nothing
        l = rig.layout();
        EXPECT_EQ(l.captionIndex, -1);
        EXPECT_EQ(l.caption.height(), c.title);
        EXPECT_TRUE(std::ranges::none_of(l.recents, &StyleLayout::Cell::selected));
    }
}

TEST(StyleLayouts, CompactSpacingNarrowsTheCardWhileTheFavouritesHaveTheFocus) {
    for (HUDStyle style : {modern, classic, retro}) {
        double width[2];
        for (bool compact : {false, true}) {
            ControllerRig rig(style);
            rig.show(targets(20), 0, targets(3, "Fav "), 0, favourites, caption, compact);
            width[compact] = rig.layout().size.width();
        }
        EXPECT_LT(width[1], width[0]) << static_cast<int>(style);
    }
}

TEST(Windows95Layout, TheSelectedIconAndTheThumbFollowTheCursor) {
    ControllerRig rig(retro);
    rig.show(targets(20), 6);
    Windows95Layout l;
    layoutWindows95(rig.hud.model(), fonts(), l);
    EXPECT_EQ(l.selectedIcon, l.recents.cellList[4].box);
    // The thumb, nine twentieths of the track, runs inside its border from the leading end at
    // the first entry to the trailing end at the last.
    for (auto [s, end] : {std::pair{0, false}, {19, true}}) {
        rig.show(targets(20), s);
        layoutWindows95(rig.hud.model(), fonts(), l);
        const QRectF inner = l.scroll.track.adjusted(1, 2, -1, -2);
        EXPECT_NEAR(l.scroll.thumb.width(), l.scroll.track.width() * 9 / 20, 1e-9) << s;
        EXPECT_NEAR(end ? l.scroll.thumb.right() : l.scroll.thumb.left(), end ? inner.right() : inner.left(), 1e-9);
        EXPECT_EQ(l.scroll.thumb.top(), inner.top()) << s;
    }
    rig.hud.hide();
    rig.show(targets(20), 6, targets(3, "Fav "), 2, favourites);
    layoutWindows95(rig.hud.model(), fonts(), l);
    EXPECT_EQ(l.selectedIcon, l.favourites.cellList.at(2).box);
}

}  // namespace
}  // namespace trellick::test
