// The overlay's building blocks: the model's queries, application icons, symbols.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "OverlayTestSupport.h"
#include "overlay/AppIcons.h"
#include "overlay/Symbols.h"

namespace trellick::test {
namespace {

TEST(HUDModel, FocusedTargetIsNothingOutsideTheFocusedRow) {
    HUDModel m;
    EXPECT_EQ(focusedTarget(m), nullptr);  // fresh
    m.visible.set(targets(3));
    m.selected.set(2);
    EXPECT_EQ(focusedTarget(m)->title, "App 2");
    m.selected.set(-1);
    EXPECT_EQ(focusedTarget(m), nullptr);
    m.selected.set(0);
    m.focus.set(SwitcherRow::favourites);  // favourites empty: nothing, whatever recents hold
    EXPECT_EQ(focusedTarget(m), nullptr);
    m.favourites.set(targets(2, "Fav "));
    m.favSelected.set(1);
    EXPECT_EQ(focusedTarget(m)->title, "Fav 1");
}

TEST(HUDModel, ObserversDroppedWhileBeingToldAreNotCalledAgain) {
    HUDModel m;
    int first = 0, second = 0;
    Subscription b;
    Subscription a = m.observe([&](HUDModel::Field) {
        ++first;
        b.reset();
    });
    b = m.observe([&](HUDModel::Field) { ++second; });
    Subscription late;
    bool added = false;
    auto adder = m.observe([&](HUDModel::Field) {
        if (!added) late = m.observe([&](HUDModel::Field) { ++second; });
        added = true;
    });
    m.selected.set(1);
    m.selected.set(2);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);  // `late`, from the second assignment on
}

// Icons: a theme lookup that counts, files on disk, window images, the fallbacks.
struct IconRig {
    int lookups = 0;
    AppIconCache cache{[this](const QString& name) {
        ++lookups;
        if (name != "known-app") return QIcon();
        QPixmap pm(48, 48);
        pm.fill(Qt::red);
        return QIcon(pm);
    }};
};

TEST(AppIcons, FallsBackFromThemeToWindowImageToGenericGlyph) {
    IconRig rig;
    auto image = std::make_shared<QImage>(16, 16, QImage::Format_ARGB32);
    image->fill(Qt::blue);
    std::shared_ptr<const void> data(image, image.get());
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("app.png");
    QImage green(32, 32, QImage::Format_ARGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(file));

    auto colour = [&](const AppIconCache::Entry* e) {
        return rig.cache.pixmap(e, 20, 1)->toImage().pixelColor(10, 10);
    };
    EXPECT_EQ(colour(rig.cache.resolve(IconHandle{"unknown-app", data})), QColor(Qt::blue));
    EXPECT_EQ(colour(rig.cache.resolve(IconHandle{file.toStdString(), nullptr})), QColor(Qt::green));
    EXPECT_EQ(colour(rig.cache.resolve(IconHandle{"", data})), QColor(Qt::blue));
    EXPECT_EQ(rig.cache.resolve(IconHandle{"/no/such/icon.png", nullptr})->kind(), AppIconCache::Kind::generic);
    EXPECT_EQ(rig.cache.resolve(std::nullopt)->kind(), AppIconCache::Kind::generic);
    EXPECT_EQ(rig.cache.resolve(IconHandle{addFavouritesIconName, nullptr})->kind(), AppIconCache::Kind::addFavourites);
    EXPECT_EQ(rig.cache.pixmap(rig.cache.resolve(IconHandle{addFavouritesIconName, nullptr}), 20, 1), nullptr);
}

TEST(AppIcons, AWindowImageIsResolvedAgainOnceItsAddressIsReused) {
    IconRig rig;
    // Owned apart from its control block: freed while the cache still remembers the address.
    std::shared_ptr<QImage> first(new QImage(16, 16, QImage::Format_ARGB32));
    first->fill(Qt::blue);
    const void* address = first.get();
    rig.cache.resolve(IconHandle{"", std::shared_ptr<const void>(first, first.get())});
    first.reset();
    std::vector<std::shared_ptr<QImage>> keep;
    while (keep.size() < 100 && (keep.empty() || keep.back().get() != address))
        keep.emplace_back(new QImage(16, 16, QImage::Format_ARGB32));
    if (keep.back().get() != address) GTEST_SKIP() << "the allocator did not reuse the address";
    keep.back()->fill(Qt::green);
    auto* e = rig.cache.resolve(IconHandle{"", std::shared_ptr<const void>(keep.back(), keep.back().get())});
    EXPECT_EQ(rig.cache.pixmap(e, 20, 1)->toImage().pixelColor(10, 10), QColor(Qt::green));
}

}  // namespace
}  // namespace trellick::test
