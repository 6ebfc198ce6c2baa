// The overlay controller: windowing of the recency list, what it publishes, when it measures,
// and how it sizes and places the real offscreen panel (modern unless a test says otherwise).

#include <gtest/gtest.h>

#include <cmath>

#include "OverlayTestSupport.h"

namespace trellick::test {
namespace {

TEST(HUDController, ShowsAWindowOfNineAroundTheCursor) {
    struct Case {
        int n, s, lo, hi;
        bool moreBefore, moreAfter;
    };
    for (const Case& c :
         {Case{20, 0, 0, 9, false, true}, Case{20, 6, 2, 11, true, true}, Case{20, 19, 11, 20, true, false},
          Case{5, 0, 0, 5, false, false}, Case{5, 4, 0, 5, false, false}, Case{9, 8, 0, 9, false, false},
          Case{10, 4, 0, 9, false, true}, Case{10, 5, 1, 10, true, false}, Case{10, 9, 1, 10, true, false}}) {
        SCOPED_TRACE(std::to_string(c.s) + " of " + std::to_string(c.n));
        ControllerRig rig;
        rig.show(targets(c.n), c.s);
        const HUDModel& m = rig.hud.model();
        std::vector<std::string> expected;
        for (int i = c.lo; i < c.hi; ++i) expected.push_back("App " + std::to_string(i));
        EXPECT_EQ(titles(m.visible()), expected);
        EXPECT_EQ(m.selected(), c.s - c.lo);
        EXPECT_EQ(m.recentsAbsolute(), c.s);
        EXPECT_EQ(m.recentsCount(), c.n);
        EXPECT_EQ(m.moreBefore(), c.moreBefore);
        EXPECT_EQ(m.moreAfter(), c.moreAfter);
    }
}

// A cursor step republishes the list only when the window slides, and measures only at the first
// showing (both rows, once) and when entries come to lie before the window.
TEST(HUDController, CursorStepsRedoOnlyWhatTheyChange) {
    ControllerRig rig;
    int listPublications = 0, cursorPublications = 0;
    auto watch = rig.hud.model().observe([&](HUDModel::Field f) {
        listPublications += f == HUDModel::Field::visible;
        cursorPublications += f == HUDModel::Field::selected;
    });
    const auto list = targets(20), favs = targets(2, "Fav ");
    std::vector<int> passes;
    for (int s = 0; s <= 10; ++s) {
        rig.show(list, s, favs);
        passes.push_back(rig.panel->layoutPasses);
    }
    // Shown at 0; the window slides once the cursor passes the middle slot (5..10).
    EXPECT_EQ(listPublications, 1 + 6);
    EXPECT_EQ(cursorPublications, 11);
    EXPECT_EQ(passes, (std::vector<int>{2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(rig.panel->frames.size(), 1u);
}

TEST(HUDController, MovingTheFocusBetweenRowsNeverResizes) {
    const auto favs = targets(3, "Fav ");
    for (auto style : {modern, classic, retro})
        for (auto labels : {HUDLabelStyle::caption, HUDLabelStyle::perIcon})
            for (int n : {1, 3, 12})
                for (bool compact : {true, false}) {
                    ControllerRig rig(style);
                    for (auto [f, focus] :
                         {std::pair{0, SwitcherRow::recents}, {1, SwitcherRow::favourites}, {1, SwitcherRow::recents}})
                        rig.show(targets(n), 0, favs, f, focus, labels, compact);
                    EXPECT_EQ(rig.panel->frames.size(), 1u)
                        << "n " << n << " compact " << compact << " style " << static_cast<int>(style);
                }
}

TEST(HUDController, KeepsTheFavouritesRowOfTheShowing) {
    ControllerRig rig;
    rig.show(targets(4), 0, targets(2, "First "));
    rig.hud.setCancelProgress(0.5);
    rig.show(targets(4), 1, targets(3, "Second "));
    EXPECT_EQ(titles(rig.hud.model().favourites()), titles(targets(2, "First ")));
    EXPECT_EQ(rig.hud.model().generation(), 1);
    EXPECT_EQ(rig.hud.model().cancelProgress(), 0.5);

    // After a hide the next list is a fresh showing: new row, next generation, no cancel.
    rig.hud.hide();
    rig.show(targets(4), 1, targets(3, "Second "));
    EXPECT_EQ(titles(rig.hud.model().favourites()), titles(targets(3, "Second ")));
    EXPECT_EQ(rig.hud.model().generation(), 2);
    EXPECT_EQ(rig.hud.model().cancelProgress(), 0);
    EXPECT_EQ(rig.panel->fades, (std::vector<double>{0.14, 0.14}));
    EXPECT_EQ(rig.panelsMade, 1);
}

TEST(HUDController, GrowsDuringAGestureButNeverBelowItsShowingSize) {
    ControllerRig rig;
    auto list = targets(20);
    rig.show(list, 0, {}, 0, SwitcherRow::recents, HUDLabelStyle::perIcon);
    rig.show(list, 0);  // less to show: the panel keeps its size
    rig.show(list, 0, {}, 0, SwitcherRow::recents, HUDLabelStyle::perIcon);
    EXPECT_EQ(rig.panel->frames.size(), 1u);

    ControllerRig other;
    other.show(list, 0);
    other.show(list, 0, {}, 0, SwitcherRow::recents, HUDLabelStyle::perIcon);  // more: it grows
    other.show(list, 0);                                                       // and goes back
    ASSERT_EQ(other.panel->frames.size(), 3u);
    EXPECT_GT(other.panel->frames[1].width(), other.panel->frames[0].width());
    EXPECT_EQ(other.panel->frames[2].size(), other.panel->frames[0].size());
}

TEST(HUDController, ShowsNothingUnlessARowHasEntries) {
    ControllerRig rig;
    rig.show({}, 0);
    EXPECT_EQ(rig.panelsMade, 0);
    rig.hud.hide();                                                 // no panel yet: nothing to order out
    rig.show({}, 0, placeholderRow(), 0, SwitcherRow::favourites);  // favourites alone do show
    EXPECT_TRUE(rig.hud.model().visible().empty());
    EXPECT_FALSE(rig.hud.model().moreBefore() || rig.hud.model().moreAfter());
    EXPECT_EQ(rig.panel->fades.size(), 1u);
    rig.show(targets(3), 1);
    const auto frames = rig.panel->frames.size();
    rig.show({}, 0);  // a panel already shown stays as it is
    EXPECT_EQ(titles(rig.hud.model().visible()), titles(targets(3)));
    EXPECT_EQ(rig.panel->frames.size(), frames);
}

TEST(HUDController, CentresOnTheScreenUnderThePointer) {
    struct Case {
        const char* name;
        QPointF pointer;
        std::vector<QRectF> screens;
        std::optional<QRectF> primary;
        QPointF centre;  // of the panel; NaN: where it was
    };
    const QRectF left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
    for (const Case& c : {Case{"first", {100, 100}, {left, right}, left, {960, 540}},
                          Case{"second", {2000, 900}, {left, right}, left, {2560, 512}},
                          Case{"edge", {1920, 10}, {left, right}, left, {2560, 512}},
                          Case{"off", {5000, 5000}, {left, right}, right, {2560, 512}},
                          Case{"none", {5, 5}, {}, std::nullopt, {NAN, NAN}}}) {
        SCOPED_TRACE(c.name);
        ControllerRig rig;
        rig.screens->at = c.pointer;
        rig.screens->frames = c.screens;
        rig.screens->main = c.primary;
        rig.show(targets(3), 0);
        QRectF f = rig.panel->frames.back();
        if (std::isnan(c.centre.x())) {
            EXPECT_EQ(f.topLeft(), QPointF(0, 0));
        } else {
            EXPECT_NEAR(f.center().x(), c.centre.x(), 0.5);
            EXPECT_NEAR(f.center().y(), c.centre.y(), 0.5);
        }
    }
}

// The cancel ring shows above a tenth of the way, centred below the caption.
TEST(HUDController, GrowsAndShrinksAtTheBottomWhenTheRingComesOrGoes) {
    struct Case {
        double first, second;
        std::size_t refits;  // new frames after `second`
    };
    for (HUDStyle style : {modern, classic})
        for (const Case& c :
             {Case{0.05, 0.2, 1}, Case{0.3, 0.9, 0}, Case{0.9, 0.05, 1}, Case{0.0, 0.1, 0}, Case{0.1, 0.1000001, 1}}) {
            SCOPED_TRACE(std::to_string(c.first) + " to " + std::to_string(c.second));
            ControllerRig rig(style);
            rig.show(targets(5), 1);
            rig.hud.setCancelProgress(c.first);
            const QRectF before = rig.panel->frames.back();
            const auto framesBefore = rig.panel->frames.size();
            rig.hud.setCancelProgress(c.second);
            const StyleLayout l = rig.layout();
            ASSERT_EQ(l.ring, c.second > 0.1);
            if (l.ring) {
                EXPECT_TRUE(QRectF(QPointF(0, 0), l.size).contains(l.ringFrame));
                EXPECT_EQ(l.ringFrame.center().x(), l.card.center().x());
                EXPECT_GT(l.ringFrame.top(), l.caption.bottom());
            }
            ASSERT_EQ(rig.panel->frames.size() - framesBefore, c.refits);
            if (c.refits == 0) continue;
            const QRectF after = rig.panel->frames.back();
            EXPECT_EQ(after.top(), before.top());
            EXPECT_NEAR(after.center().x(), before.center().x(), 0.5);
            EXPECT_EQ(after.height() > before.height(), c.second > c.first);
        }
}

TEST(HUDController, TheRingComingAndGoingKeepsRoomForTheOtherRow) {
    // Labels under the icons, one recent and three favourites: the favourites row needs the
    // width when it has the focus, the recents row does not.
    ControllerRig rig;
    auto favs = targets(3, "Fav ");
    rig.show(targets(1), 0, favs, 0, SwitcherRow::recents, HUDLabelStyle::perIcon);
    rig.hud.setCancelProgress(0.5);
    rig.hud.setCancelProgress(0);
    rig.show(targets(1), 0, favs, 0, SwitcherRow::favourites, HUDLabelStyle::perIcon);
    QImage img = rig.picture();
    for (const QRectF& f : rig.panel->frames) EXPECT_EQ(f.width(), rig.panel->frames[0].width());
    // The card is whole: its rim is transparent margin on both sides.
    const int y = img.height() / 2;
    EXPECT_LT(qAlpha(img.pixel(2, y)), 40);
    EXPECT_LT(qAlpha(img.pixel(img.width() - 3, y)), 40);
}

}  // namespace
}  // namespace trellick::test
