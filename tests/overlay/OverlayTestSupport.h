#pragma once
// Shared by the overlay's tests: lists of targets, a screen double, an offscreen panel that
// records what the controller asks of it, and the three styles' layouts read alike.

#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "overlay/ClassicLayout.h"
#include "overlay/HUDController.h"
#include "overlay/ImagePanel.h"
#include "overlay/ModernLayout.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Windows95Layout.h"

namespace trellick::test {

constexpr HUDStyle modern = HUDStyle::modern, classic = HUDStyle::classic, retro = HUDStyle::windows95;

inline std::vector<SwitchTarget> targets(int n, const std::string& prefix = "App ", bool subtitles = false) {
    std::vector<SwitchTarget> out;
    for (int i = 0; i < n; ++i) {
        SwitchTarget t;
        t.title = prefix + std::to_string(i);
        if (subtitles) t.subtitle = "Window " + std::to_string(i);
        out.push_back(std::move(t));
    }
    return out;
}

inline std::vector<SwitchTarget> placeholderRow() {
    return {{.icon = IconHandle{addFavouritesIconName, nullptr},
             .title = "Add Favourites",
             .subtitle = "Open Settings",
             .activate = {},
             .isPlaceholder = true}};
}

inline std::vector<std::string> titles(const std::vector<SwitchTarget>& list) {
    std::vector<std::string> out;
    for (const auto& t : list) out.push_back(t.title);
    return out;
}

inline const OverlayFonts& fonts() {
    static OverlayFonts f;
    return f;
}

// What the three styles' layouts share, read the same way from each.
struct StyleLayout {
    struct Cell {
        QRectF frame, box, block, icon, label;  // block: the retro navy block
        double iconOpacity, iconScale, labelOpacity;
        bool selected;
    };
    QSizeF size;
    QRectF card;  // the retro style's window
    std::vector<Cell> recents, favourites;
    QRectF glyphSlot;
    double leadingOpacity = 0, trailingOpacity = 0;  // the chevrons, ellipses or arrows
    bool scroll = false, ring = false, captionShown = false;
    QRectF scrollTrack, caption, ringFrame;  // the caption: the retro style's status field
    int captionIndex = -1;
};

// Only the retro style draws the block round a cell's icon and label: the others' is the box.
inline std::vector<StyleLayout::Cell> cellsOf(const PartRow& row, bool blocks) {
    std::vector<StyleLayout::Cell> out;
    for (const auto& c : row.cellList)
        out.push_back({c.frame, c.box, blocks ? c.block : c.box, c.icon, c.label, c.iconOpacity, c.iconScale,
                       c.labelOpacity, c.selected});
    return out;
}

// The layout of `m` in the style it names.
inline StyleLayout layoutOf(const HUDModel& m, const Appearance& look = {}, bool composited = true) {
    StyleLayout s;
    // What every style has, under the names the style gives it.
    auto read = [&](const auto& l, QRectF card, const auto& leading, const auto& trailing, const auto& caption,
                    bool scroll, QRectF scrollTrack) {
        s.size = l.size;
        s.card = card;
        const bool blocks = m.style() == HUDStyle::windows95;
        s.recents = cellsOf(l.recents, blocks);
        s.favourites = cellsOf(l.favourites, blocks);
        s.glyphSlot = l.favourites.glyphSlot;
        s.leadingOpacity = leading.opacity;
        s.trailingOpacity = trailing.opacity;
        s.captionShown = caption.present;
        s.caption = caption.frame;
        s.captionIndex = caption.index;
        s.scroll = scroll;
        s.scrollTrack = scrollTrack;
    };
    // The modern and classic styles also share the cancel ring.
    auto readCard = [&](const auto& l) {
        read(l, l.card, l.leading, l.trailing, l.caption, l.scrollPresent, l.scrollTrack);
        s.ring = l.ringPresent;
        s.ringFrame = l.ring;
    };
    if (m.style() == HUDStyle::windows95) {
        Windows95Layout l;
        layoutWindows95(m, fonts(), l);
        read(l, l.window, l.left, l.right, l.caption, l.scroll.present, l.scroll.track);
    } else if (m.style() == HUDStyle::classic) {
        ClassicLayout l;
        layoutClassic(m, fonts(), look, composited, l);
        readCard(l);
    } else {
        ModernLayout l;
        layoutModern(m, fonts(), look, composited, l);
        readCard(l);
    }
    return s;
}

struct Screens : ScreenLocator {
    QPointF at{960, 540};
    std::vector<QRectF> frames{QRectF(0, 0, 1920, 1080)};
    std::optional<QRectF> main = QRectF(0, 0, 1920, 1080);
    QPointF pointer() const override { return at; }
    std::vector<QRectF> screens() const override { return frames; }
    std::optional<QRectF> primary() const override { return main; }
};

// The real layouts and painter, offscreen, counting each measurement (a layout pass).
struct RecordingPanel : ImagePanel {
    using ImagePanel::ImagePanel;
    int layoutPasses = 0;
    std::vector<QRectF> frames;
    std::vector<double> fades;
    QSizeF fittingSize(const HUDModel& m) override {
        ++layoutPasses;
        return ImagePanel::fittingSize(m);
    }
    void setFrame(const QRectF& f) override {
        frames.push_back(f);
        ImagePanel::setFrame(f);
    }
    void show(double fade) override {
        fades.push_back(fade);
        ImagePanel::show(fade);
    }
};

struct ControllerRig {
    std::shared_ptr<Screens> screens = std::make_shared<Screens>();
    double now = 100;
    RecordingPanel* panel = nullptr;
    int panelsMade = 0;
    Appearance look;
    bool composited = true;
    HUDStyle style = HUDStyle::modern;
    HUDController hud{[this](const HUDModel& live) {
                          auto p = std::make_unique<RecordingPanel>(live, [this] { return now; });
                          p->renderer().setAppearance(look);
                          p->renderer().setComposited(composited);
                          panel = p.get();
                          ++panelsMade;
                          return p;
                      },
                      screens};

    explicit ControllerRig(HUDStyle s = HUDStyle::modern) : style(s) {}
    void show(const std::vector<SwitchTarget>& recents, int s, const std::vector<SwitchTarget>& favs = {}, int f = 0,
              SwitcherRow focus = SwitcherRow::recents, HUDLabelStyle labels = HUDLabelStyle::caption,
              bool compact = true) {
        hud.showList(recents, s, favs, f, focus, labels, style, compact);
    }
    QImage picture() { return panel->render(true); }
    // The layout of what is shown, and where its top-left lies in the picture.
    StyleLayout layout() { return layoutOf(hud.model(), look, composited); }
    QPointF origin() { return panel->renderer().contentOrigin(panel->frame().size()); }
};

}  // namespace trellick::test
