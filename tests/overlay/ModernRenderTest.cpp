// What the modern style paints, read back from offscreen pictures.

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <numbers>

#include "OverlayTestSupport.h"
#include "overlay/ModernLayout.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Widgets.h"

namespace trellick::test {
namespace {

// How much redder than green or blue a pixel is (the accent in these checks is pure red).
int redness(const QImage& img, int x, int y) {
    QColor c = img.pixelColor(x, y);
    return std::max(0, c.red() - std::max(c.green(), c.blue()));
}

// The layout of what the rig shows, in picture coordinates.
ModernLayout shownLayout(ControllerRig& rig, QPointF* origin) {
    static OverlayFonts fonts;
    ModernLayout l;
    layoutModern(rig.hud.model(), fonts, rig.look, rig.composited, l);
    QSizeF panel = rig.panel->frame().size();
    *origin =
        QPointF(std::floor((panel.width() - l.size.width()) / 2), std::floor((panel.height() - l.size.height()) / 2));
    return l;
}

struct PlateCase {
    SwitcherRow row;
    int selected;
};

class Plate : public testing::TestWithParam<PlateCase> {};

TEST_P(Plate, IsCentredUnderTheSelectedCell) {
    const auto c = GetParam();
    ControllerRig rig;
    rig.look.accent = QColor(255, 0, 0);
    const bool fav = c.row == SwitcherRow::favourites;
    rig.show(targets(9), fav ? 0 : c.selected, targets(3, "Fav "), fav ? c.selected : 0, c.row);
    QImage img = rig.picture();
    QPointF o;
    ModernLayout l = shownLayout(rig, &o);
    const ModernRow& row = fav ? l.favourites : l.recents;
    const int y = static_cast<int>(o.y() + row.plate.center().y());
    double sum = 0, weight = 0;
    for (int x = 0; x < img.width(); ++x) {
        int r = redness(img, x, y);
        sum += r * (x + 0.5);
        weight += r;
    }
    ASSERT_GT(weight, 0) << "no accent on the plate's row";
    EXPECT_NEAR(sum / weight, o.x() + row.cellList[c.selected].frame.center().x(), 1.0);
    // The other row has no plate.
    const ModernRow& other = fav ? l.recents : l.favourites;
    int y2 = static_cast<int>(o.y() + other.cellList[0].box.center().y());
    for (int x = 0; x < img.width(); ++x) ASSERT_LT(redness(img, x, y2), 40) << x;
}

INSTANTIATE_TEST_SUITE_P(Cases, Plate,
                         testing::Values(PlateCase{SwitcherRow::recents, 0}, PlateCase{SwitcherRow::recents, 4},
                                         PlateCase{SwitcherRow::recents, 8}, PlateCase{SwitcherRow::favourites, 2}));

struct RingCase {
    double progress;
    std::array<bool, 4> accentAt;  // at 45, 135, 225 and 315 degrees clockwise from the top
};

class Ring : public testing::TestWithParam<RingCase> {};

TEST_P(Ring, ArcRunsClockwiseFromTheTop) {
    const auto c = GetParam();
    ControllerRig rig;
    rig.look.accent = QColor(255, 0, 0);
    rig.composited = false;
    rig.show(targets(3), 1);
    rig.hud.setCancelProgress(c.progress);
    QImage img = rig.picture();
    QPointF o;
    ModernLayout l = shownLayout(rig, &o);
    ASSERT_TRUE(l.ringPresent);
    const QPointF centre = o + l.ring.center();
    for (int i = 0; i < 4; ++i) {
        double a = (45 + 90 * i) * std::numbers::pi / 180;
        QPointF p = centre + QPointF(11 * std::sin(a), -11 * std::cos(a));
        EXPECT_EQ(redness(img, static_cast<int>(p.x()), static_cast<int>(p.y())) > 100, c.accentAt[i])
            << "at " << 45 + 90 * i << " degrees";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Ring,
                         testing::Values(RingCase{0.3, {true, false, false, false}},
                                         RingCase{0.6, {true, true, false, false}},
                                         RingCase{1.4, {true, true, true, true}}));

struct ThumbCase {
    int count, visible, absolute;
    double width;
    double from, to;  // covered span
};

class Thumb : public testing::TestWithParam<ThumbCase> {};

TEST_P(Thumb, SitsWhereTheCursorIsInTheWholeList) {
    const auto c = GetParam();
    ScrollTrack track{c.count, c.visible, c.absolute, c.width, Qt::black, 3, 24};
    QImage img(static_cast<int>(c.width) + 2, 3, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        paintScrollThumb(p, QPointF(0, 0), 3, track.thumb(), Qt::black);
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

INSTANTIATE_TEST_SUITE_P(Cases, Thumb,
                         testing::Values(ThumbCase{20, 9, 0, 600, 0, 270}, ThumbCase{20, 9, 19, 600, 330, 600},
                                         ThumbCase{20, 9, 10, 600, 173.7, 443.7}, ThumbCase{200, 9, 0, 100, 0, 24},
                                         ThumbCase{1, 1, 0, 100, 0, 100}, ThumbCase{20, 9, 5, 10, 0, 10}));

TEST(ModernPicture, LightAndDarkCoverTheSamePixels) {
    QImage pictures[2];
    for (int dark = 0; dark < 2; ++dark) {
        ControllerRig rig;
        rig.composited = false;
        rig.look.scheme = dark ? ColorScheme::dark : ColorScheme::light;
        rig.show(targets(12, "App ", true), 5, targets(2, "Fav "));
        rig.hud.setCancelProgress(0.5);
        pictures[dark] = rig.picture();
    }
    ASSERT_EQ(pictures[0].size(), pictures[1].size());
    int differentAlpha = 0, differentColour = 0;
    for (int y = 0; y < pictures[0].height(); ++y) {
        for (int x = 0; x < pictures[0].width(); ++x) {
            QRgb a = pictures[0].pixel(x, y), b = pictures[1].pixel(x, y);
            differentAlpha += qAlpha(a) != qAlpha(b);
            differentColour += a != b;
        }
    }
    EXPECT_EQ(differentAlpha, 0);
    EXPECT_GT(differentColour, pictures[0].width() * pictures[0].height() / 10);
}

TEST(ModernPicture, CardEdgesFallOnDevicePixelsAtDoubleScale) {
    ControllerRig rig;
    rig.show(targets(4), 1);
    rig.panel->renderer().setDevicePixelRatio(2);
    QImage img = rig.picture();
    ASSERT_EQ(img.size(), (rig.panel->frame().size() * 2).toSize());
    const int x = img.width() / 2, top = 2 * 44;
    EXPECT_GE(qAlpha(img.pixel(x, top)), 200);  // the first row of the card is wholly card
    EXPECT_LT(qAlpha(img.pixel(x, top - 1)), 100);
}

TEST(ModernPicture, FadesInOverAFewFrames) {
    ControllerRig rig;
    rig.show(targets(4), 1);
    auto cardAlpha = [&] {
        QImage img = rig.panel->render();
        return qAlpha(img.pixel(img.width() / 2, 50));
    };
    const int start = cardAlpha();
    rig.now += 0.07;
    const int half = cardAlpha();
    rig.now += 0.1;
    const int end = cardAlpha();
    EXPECT_EQ(start, 0);
    EXPECT_GT(half, end / 2);  // ease-out: more than half-way at half time
    EXPECT_LT(half, end);
}

}  // namespace
}  // namespace trellick::test
