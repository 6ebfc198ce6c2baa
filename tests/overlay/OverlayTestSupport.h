#pragma once
// Shared by the overlay's tests: lists of targets, a screen double, and an offscreen panel
// that records what the controller asks of it.

#include <QImage>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "overlay/HUDController.h"
#include "overlay/ImagePanel.h"

namespace trellick::test {

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

// A model as the controller leaves it for cursor `s` in `n` entries (the window of nine).
inline void windowed(HUDModel& m, int n, int s, int favourites = 0, SwitcherRow focus = SwitcherRow::recents,
                     HUDLabelStyle labels = HUDLabelStyle::caption, bool compact = true, bool subtitles = false) {
    auto all = targets(n, "App ", subtitles);
    const int lo = std::max(std::min(std::max(s - 4, 0) + 9, n) - 9, 0), hi = std::min(lo + 9, n);
    m.visible.set({all.begin() + lo, all.begin() + hi});
    m.selected.set(s - lo);
    m.moreBefore.set(lo > 0);
    m.moreAfter.set(hi < n);
    m.recentsCount.set(n);
    m.recentsAbsolute.set(s);
    m.favourites.set(targets(favourites, "Fav "));
    m.focus.set(focus);
    m.labelStyle.set(labels);
    m.compactPeek.set(compact);
}

// Targets whose icon is one solid colour, so checks can tell the icon from what lies over it.
inline std::vector<SwitchTarget> solidTargets(int n, QColor colour) {
    auto image = std::make_shared<QImage>(64, 64, QImage::Format_ARGB32);
    image->fill(colour);
    auto out = targets(n);
    for (auto& t : out) t.icon = IconHandle{"", std::shared_ptr<const void>(image, image.get())};
    return out;
}

inline std::vector<SwitchTarget> placeholderRow() {
    SwitchTarget t;
    t.title = "Add Favourites";
    t.subtitle = "Open Settings";
    t.icon = IconHandle{addFavouritesIconName, nullptr};
    t.isPlaceholder = true;
    return {t};
}

inline std::vector<std::string> titles(const std::vector<SwitchTarget>& list) {
    std::vector<std::string> out;
    for (const auto& t : list) out.push_back(t.title);
    return out;
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
    int layoutPasses = 0, shows = 0, hides = 0;
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
    void orderFront(double fade) override {
        ++shows;
        fades.push_back(fade);
        ImagePanel::orderFront(fade);
    }
    void orderOut() override {
        ++hides;
        ImagePanel::orderOut();
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

    void show(const std::vector<SwitchTarget>& recents, int s, const std::vector<SwitchTarget>& favs = {}, int f = 0,
              SwitcherRow focus = SwitcherRow::recents, HUDLabelStyle labels = HUDLabelStyle::caption,
              bool compact = true) {
        hud.showList(recents, s, favs, f, focus, labels, style, compact);
    }
    QImage picture() { return panel->render(true); }
};

}  // namespace trellick::test
