// What the classic and retro styles paint, read back from offscreen pictures.

#include <gtest/gtest.h>

#include <cmath>

#include "OverlayTestSupport.h"
#include "overlay/ClassicLayout.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Windows95Layout.h"

namespace trellick::test {
namespace {

const OverlayFonts& fonts() {
    static OverlayFonts f;
    return f;
}

// Where the content's top-left lies in the rig's picture.
QPointF originOf(ControllerRig& rig, QSizeF content) {
    const QSizeF panel = rig.panel->frame().size();
    return QPointF(std::floor((panel.width() - content.width()) / 2),
                   std::floor((panel.height() - content.height()) / 2));
}

QColor at(const QImage& img, QPointF p) {
    return img.pixelColor(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

bool isWhite(const QColor& c) {
    return c.red() > 240 && c.green() > 240 && c.blue() > 240;
}

struct Selection {
    SwitcherRow row;
    int index;
    ColorScheme scheme;
};

class ClassicTile : public testing::TestWithParam<Selection> {};

TEST_P(ClassicTile, ShadesOnlyTheSelectedCell) {
    const auto c = GetParam();
    ControllerRig rig;
    rig.style = HUDStyle::classic;
    rig.composited = false;
    rig.look.scheme = c.scheme;
    const bool fav = c.row == SwitcherRow::favourites;
    rig.show(targets(9), fav ? 0 : c.index, targets(3, "Fav "), fav ? c.index : 0, c.row);
    const QImage img = rig.picture();
    ClassicLayout l;
    layoutClassic(rig.hud.model(), fonts(), rig.look, false, l);
    const QPointF o = originOf(rig, l.size);
    const QColor card = at(img, o + QPointF(10, l.card.center().y()));
    const ClassicRow& row = fav ? l.favourites : l.recents;
    for (int i = 0; i < static_cast<int>(row.cellList.size()); ++i) {
        // Inside the box, left of the icon: the tile or the bare card.
        const int shade =
            at(img, o + QPointF(row.cellList[i].box.left() + 4, row.cellList[i].box.center().y())).value();
        if (i != c.index) {
            EXPECT_NEAR(shade, card.value(), 2) << i;
        } else if (c.scheme == ColorScheme::light) {
            EXPECT_LT(shade, card.value() - 20) << i;
        } else {
            EXPECT_GT(shade, card.value() + 20) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ClassicTile,
                         testing::Values(Selection{SwitcherRow::recents, 0, ColorScheme::light},
                                         Selection{SwitcherRow::recents, 4, ColorScheme::dark},
                                         Selection{SwitcherRow::recents, 8, ColorScheme::light},
                                         Selection{SwitcherRow::favourites, 2, ColorScheme::dark}));

class RetroCell : public testing::TestWithParam<Selection> {};

TEST_P(RetroCell, TurnsNavyOnlyWhenSelected) {
    const auto c = GetParam();
    ControllerRig rig;
    rig.style = HUDStyle::windows95;
    const bool fav = c.row == SwitcherRow::favourites;
    rig.show(targets(9), fav ? 3 : c.index, targets(3, "Fav "), fav ? c.index : 0, c.row);
    const QImage img = rig.picture();
    Windows95Layout l;
    layoutWindows95(rig.hud.model(), fonts(), l);
    const QPointF o = originOf(rig, l.size);
    for (const Win95Row* row : {&l.recents, &l.favourites}) {
        for (int i = 0; i < static_cast<int>(row->cellList.size()); ++i) {
            const bool selected = (row == &l.favourites) == fav && i == c.index;
            EXPECT_EQ(at(img, o + row->cellList[i].block.topLeft() + QPointF(1, 1)),
                      selected ? Win95::navy : Win95::silver)
                << (row == &l.favourites ? "favourite " : "recent ") << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RetroCell,
                         testing::Values(Selection{SwitcherRow::recents, 0, ColorScheme::light},
                                         Selection{SwitcherRow::recents, 8, ColorScheme::light},
                                         Selection{SwitcherRow::favourites, 1, ColorScheme::light}));

class RetroCloseButton : public testing::TestWithParam<std::pair<double, bool>> {};

TEST_P(RetroCloseButton, IsDrawnPressedAboveTheThreshold) {
    const auto [progress, pressed] = GetParam();
    ControllerRig rig;
    rig.style = HUDStyle::windows95;
    rig.show(targets(5), 1);
    rig.hud.setCancelProgress(progress);
    const QImage img = rig.picture();
    Windows95Layout l;
    layoutWindows95(rig.hud.model(), fonts(), l);
    const QPointF corner = originOf(rig, l.size) + l.closeButton.topLeft();
    EXPECT_EQ(at(img, corner), pressed ? Win95::gray : QColor(Qt::white));
    EXPECT_EQ(at(img, corner + QPointF(1, 1)), pressed ? Win95::ink : Win95::silverLight);
    const QPointF other = originOf(rig, l.size) + l.buttons[1].frame.topLeft();
    EXPECT_EQ(at(img, other), QColor(Qt::white));  // never pressed
}

INSTANTIATE_TEST_SUITE_P(Cases, RetroCloseButton,
                         testing::Values(std::pair{0.0, false}, std::pair{0.82, false}, std::pair{0.83, true},
                                         std::pair{1.0, true}));

struct TipCase {
    const char* name;
    int selected;  // of three entries; outside the list: no icon is selected
    double progress;
};

class RetroPointer : public testing::TestWithParam<TipCase> {};

TEST_P(RetroPointer, TipIsWhereTheCancelHasTakenIt) {
    const auto c = GetParam();
    ControllerRig rig;
    rig.style = HUDStyle::windows95;
    rig.show(solidTargets(3, Qt::red), c.selected);
    rig.hud.setCancelProgress(c.progress);
    const QImage img = rig.picture();
    Windows95Layout l;
    layoutWindows95(rig.hud.model(), fonts(), l);
    const QPointF start = l.selectedIcon ? QPointF(l.selectedIcon->center().x() - 3, l.selectedIcon->top() + 0.42 * 60)
                                         : QPointF(l.size.width() * 0.5, l.size.height() * 0.55);
    const QPointF tip = originOf(rig, l.size) + start + c.progress * (l.closeButton.center() - start);
    EXPECT_TRUE(isWhite(at(img, tip + QPointF(2, 10)))) << "inside the pointer";
    EXPECT_FALSE(isWhite(at(img, tip + QPointF(-2, 10)))) << "left of it";
    EXPECT_FALSE(isWhite(at(img, tip + QPointF(2, -3)))) << "above its tip";
}

INSTANTIATE_TEST_SUITE_P(Cases, RetroPointer,
                         testing::Values(TipCase{"onTheIcon", 1, 0}, TipCase{"halfWay", 1, 0.5},
                                         TipCase{"onTheCloseButton", 2, 1}, TipCase{"noIconHalfWay", 5, 0.5}),
                         [](const auto& info) { return std::string(info.param.name); });

class FocusChange : public testing::TestWithParam<std::pair<HUDStyle, double>> {};

// Half-way through the change from the recents row to the favourites row, as the card shrinks,
// nothing is drawn outside it.
TEST_P(FocusChange, DrawsNothingOutsideTheCardOnTheWay) {
    const auto [style, halfway] = GetParam();
    ControllerRig rig;
    rig.style = style;
    rig.show(targets(12), 5, targets(3, "Fav "), 1, SwitcherRow::recents);
    rig.hud.setCancelProgress(0.5);
    rig.picture();
    rig.show(targets(12), 5, targets(3, "Fav "), 1, SwitcherRow::favourites);
    rig.panel->render();  // the change starts here
    rig.now += halfway;
    const QImage img = rig.panel->render();
    const QRect card = rig.panel->renderer().cardRect(rig.panel->frame().size()).toAlignedRect();
    ASSERT_LT(card.width(), img.width()) << "the card is shrinking";
    int outside = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) outside += !card.contains(x, y) && qAlpha(img.pixel(x, y)) > 8;
    EXPECT_EQ(outside, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FocusChange,
                         testing::Values(std::pair{HUDStyle::classic, 0.09}, std::pair{HUDStyle::windows95, 0.04}));

QImage pictureOf(HUDStyle style, ColorScheme scheme, bool composited) {
    ControllerRig rig;
    rig.style = style;
    rig.composited = composited;
    rig.look.scheme = scheme;
    rig.show(targets(12, "App ", true), 5, targets(2, "Fav "));
    rig.hud.setCancelProgress(0.5);
    return rig.picture();
}

TEST(ClassicPicture, LightAndDarkCoverTheSamePixels) {
    const QImage light = pictureOf(HUDStyle::classic, ColorScheme::light, false);
    const QImage dark = pictureOf(HUDStyle::classic, ColorScheme::dark, false);
    ASSERT_EQ(light.size(), dark.size());
    int differentAlpha = 0, differentColour = 0;
    for (int y = 0; y < light.height(); ++y) {
        for (int x = 0; x < light.width(); ++x) {
            differentAlpha += qAlpha(light.pixel(x, y)) != qAlpha(dark.pixel(x, y));
            differentColour += light.pixel(x, y) != dark.pixel(x, y);
        }
    }
    EXPECT_EQ(differentAlpha, 0);
    EXPECT_GT(differentColour, light.width() * light.height() / 2);
}

TEST(RetroPicture, KeepsItsOwnPaletteWhateverTheDesktop) {
    EXPECT_EQ(pictureOf(HUDStyle::windows95, ColorScheme::light, true),
              pictureOf(HUDStyle::windows95, ColorScheme::dark, true));
}

TEST(ClassicAndRetroPictures, AreOpaqueAndCutToTheirOutlineWithoutACompositor) {
    const QImage classic = pictureOf(HUDStyle::classic, ColorScheme::light, false);
    EXPECT_EQ(qAlpha(classic.pixel(10, classic.height() / 2)), 255);
    EXPECT_EQ(qAlpha(classic.pixel(1, 1)), 0);  // outside the rounded corner
    const QImage retro = pictureOf(HUDStyle::windows95, ColorScheme::light, false);
    EXPECT_EQ(retro.pixelColor(0, 0), QColor(Qt::white));  // a square corner, raised
    EXPECT_EQ(retro.pixelColor(retro.width() - 1, retro.height() - 1), Win95::ink);
}

}  // namespace
}  // namespace trellick::test
