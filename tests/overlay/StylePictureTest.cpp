// What the styles paint, read back from offscreen pictures.

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

#include "OverlayTestSupport.h"
#include "overlay/Widgets.h"

namespace trellick::test {
namespace {

QColor at(const QImage& img, QPointF p) {
    return img.pixelColor(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

int distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The modern plate, the classic tile, the retro navy block: under the selected cell of the
// focused row, from one side of its box to the other, and nowhere else. One case per style and
// row (the schemes cover the same pixels), and a cursor beyond the list.
TEST(SelectionHighlight, LiesUnderTheSelectedCellOfTheFocusedRowOnly) {
    struct Selection {
        HUDStyle style;
        SwitcherRow row;
        int index;
        ColorScheme scheme;
    };
    for (const Selection& c : {Selection{modern, SwitcherRow::recents, 8, ColorScheme::dark},
                               Selection{modern, SwitcherRow::favourites, 2, ColorScheme::light},
                               Selection{modern, SwitcherRow::recents, 12, ColorScheme::light},  // none
                               Selection{classic, SwitcherRow::recents, 4, ColorScheme::dark},
                               Selection{classic, SwitcherRow::favourites, 2, ColorScheme::light},
                               Selection{retro, SwitcherRow::recents, 0, ColorScheme::light},
                               Selection{retro, SwitcherRow::favourites, 1, ColorScheme::dark}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.style)) + " " + std::to_string(c.index));
        ControllerRig rig(c.style);
        rig.look = {c.scheme, QColor(255, 0, 0)};
        rig.composited = false;  // an opaque card: its colour alone
        const bool fav = c.row == SwitcherRow::favourites;
        rig.show(targets(9), fav ? 3 : c.index, targets(3, "Fav "), fav ? c.index : 0, c.row);
        const QImage img = rig.picture();
        const StyleLayout l = rig.layout();
        for (const auto* cells : {&l.recents, &l.favourites}) {
            const int selected = (cells == &l.favourites) == fav ? c.index : -1;
            for (int i = 0; i < static_cast<int>(cells->size()); ++i) {
                const QRectF box = (*cells)[i].box;
                // Beside the icon on both sides, against the bare card in the margin at that height.
                const QColor card = at(img, rig.origin() + QPointF(l.card.left() + 5, box.center().y()));
                for (double x : {box.left() + 1, box.right() - 2}) {
                    const int d = distance(at(img, rig.origin() + QPointF(x, box.center().y())), card);
                    EXPECT_TRUE(i == selected ? d > 50 : d < 15) << "cell " << i << " at " << x << ": " << d;
                }
            }
        }
    }
}

TEST(Thumb, SitsWhereTheCursorIsInTheWholeList) {
    struct Case {
        int count, visible, absolute;
        double width;
        double from, to;  // covered span
    };
    for (const Case& c :
         {Case{20, 9, 0, 600, 0, 270}, Case{20, 9, 19, 600, 330, 600}, Case{20, 9, 10, 600, 173.7, 443.7},
          Case{200, 9, 0, 100, 0, 24}, Case{1, 1, 0, 100, 0, 100}, Case{20, 9, 5, 10, 0, 10}}) {
        SCOPED_TRACE(std::to_string(c.absolute) + " of " + std::to_string(c.count));
        ScrollTrack track{c.count, c.visible, c.absolute, c.width, Qt::black, 3, 24};
        QImage img(static_cast<int>(c.width) + 2, 3, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            paintScrollThumb(p, QPointF(0, 0), 3, track.thumb(), QBrush(Qt::black));
        }
        int first = -1, last = -1;
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, 1)) > 40) {  // the thumb is tint at 0.35
                if (first < 0) first = x;
                last = x + 1;
            }
        }
        EXPECT_NEAR(first, c.from, 1.0);
        EXPECT_NEAR(last, c.to, 1.0);
    }
}

QImage pictureOf(HUDStyle style, ColorScheme scheme, bool composited) {
    ControllerRig rig(style);
    rig.composited = composited;
    rig.look.scheme = scheme;
    rig.show(targets(12, "App ", true), 5, targets(2, "Fav "));
    rig.hud.setCancelProgress(0.5);
    return rig.picture();
}

TEST(StylePictures, AreOpaqueAndCutToTheirOutlineWithoutACompositor) {
    const QImage modernCard = pictureOf(modern, ColorScheme::dark, false);
    EXPECT_EQ(qAlpha(modernCard.pixel(50, modernCard.height() / 2)), 255);
    EXPECT_EQ(qAlpha(modernCard.pixel(40, modernCard.height() / 2)), 0);  // no shadow
    const QImage classicCard = pictureOf(classic, ColorScheme::light, false);
    EXPECT_EQ(qAlpha(classicCard.pixel(10, classicCard.height() / 2)), 255);
    EXPECT_EQ(qAlpha(classicCard.pixel(1, 1)), 0);  // outside the rounded corner
    const QImage retroWindow = pictureOf(retro, ColorScheme::light, false);
    EXPECT_EQ(retroWindow.pixelColor(0, 0), QColor(Qt::white));  // a square corner, raised
    EXPECT_EQ(retroWindow.pixelColor(retroWindow.width() - 1, retroWindow.height() - 1), Win95::ink);
}

// The "Add Favourites" entry is its symbol at the symbols' size inside the icon square, not a disc filling it.
TEST(ModernPicture, AddFavouritesIsASymbolInsideItsIconSquare) {
    ControllerRig rig;
    rig.show(targets(3), 1, placeholderRow(), 0, SwitcherRow::favourites);
    const QImage img = rig.picture();
    const QRectF icon = rig.layout().favourites.at(0).icon.translated(rig.origin());
    const QPointF c = icon.center();
    const double w = icon.width();
    const QColor around = at(img, c + QPointF(w * 0.5 + 2, 0));  // beside the square, same background
    EXPECT_LT(distance(at(img, c + QPointF(w * 0.42, 0)), around), 30) << "nothing near the square's edge";
    EXPECT_GT(distance(at(img, c + QPointF(w * 0.14, w * 0.14)), around), 60) << "the symbol at its centre";
}

// The bevel at its top corners and bottom-left one, outer and inner edge (the cancel pointer
// covers the bottom right at the end).
TEST(RetroCloseButton, IsDrawnPressedAboveTheThreshold) {
    using W = Win95;
    const std::vector<QColor> raised{W::white, W::silverLight, W::ink, W::gray, W::ink, W::gray};
    const std::vector<QColor> sunken{W::gray, W::ink, W::white, W::silverLight, W::white, W::silverLight};
    for (auto [progress, pressed] : {std::pair{0.0, false}, {0.82, false}, {0.8201, true}, {1.0, true}}) {
        SCOPED_TRACE(progress);
        ControllerRig rig(retro);
        rig.show(targets(5), 1);
        rig.hud.setCancelProgress(progress);
        const QImage img = rig.picture();
        Windows95Layout l;
        layoutWindows95(rig.hud.model(), fonts(), l);
        auto bevel = [&](QRectF r) {
            const QPointF o = rig.origin() + r.topLeft(), right(r.width() - 1, 0), bottom(0, r.height() - 1);
            std::vector<QColor> out;
            for (QPointF p : {QPointF(), right, bottom}) {
                const QPointF inward(p.x() > 0 ? -1 : 1, p.y() > 0 ? -1 : 1);
                out.insert(out.end(), {at(img, o + p), at(img, o + p + inward)});
            }
            return out;
        };
        EXPECT_EQ(bevel(l.closeButton), pressed ? sunken : raised);
        for (int i : {0, 1}) EXPECT_EQ(bevel(l.buttons[i].frame), raised) << "never pressed: " << i;
    }
}

// Half-way through the change from the recents row to the favourites row, as the card shrinks,
// nothing is drawn outside it.
TEST(FocusChange, DrawsNothingOutsideTheCardOnTheWay) {
    for (auto [style, halfway] : {std::pair{classic, 0.09}, {retro, 0.04}}) {
        SCOPED_TRACE(static_cast<int>(style));
        ControllerRig rig(style);
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
}

}  // namespace
}  // namespace trellick::test
