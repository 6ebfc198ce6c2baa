#include "overlay/HUDController.h"

#include <algorithm>
#include <cmath>

namespace trellick {

namespace {

QSizeF atLeast(QSizeF a, QSizeF floor) {
    return {std::max(a.width(), floor.width()), std::max(a.height(), floor.height())};
}

}  // namespace

HUDController::HUDController(PanelFactory makePanel, std::shared_ptr<ScreenLocator> screens)
    : makePanel_(std::move(makePanel)), screens_(std::move(screens)) {}

HUDPanel& HUDController::ensurePanel() {
    // Made once and kept for the application's life; hide only orders it out.
    if (!panel_) panel_ = makePanel_(model_);
    return *panel_;
}

void HUDController::showList(const std::vector<SwitchTarget>& recents, int s,
                             const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus,
                             HUDLabelStyle labelStyle, HUDStyle style, bool compactPeek) {
    if (recents.empty() && favourites.empty()) return;
    HUDPanel& panel = ensurePanel();
    const bool wasVisible = panel.isVisible();

    const int lo = showWindow(recents, s, !wasVisible);
    model_.selected.set(s - lo);
    model_.recentsCount.set(static_cast<int>(recents.size()));
    model_.recentsAbsolute.set(s);
    model_.favSelected.set(favSelected);
    model_.focus.set(focus);
    model_.labelStyle.set(labelStyle);
    model_.style.set(style);
    model_.compactPeek.set(compactPeek);
    if (!wasVisible) {
        // The favourites row is read once per showing, never mid-gesture.
        model_.favourites.set(favourites);
        model_.generation.set(model_.generation() + 1);
        model_.cancelProgress.set(0);
    }

    fit(panel, wasVisible,
        SizeKey{style, labelStyle, compactPeek, static_cast<int>(model_.visible().size()),
                static_cast<int>(favourites.size()), model_.moreBefore(), model_.moreAfter()});
    if (!wasVisible) {
        panel.show(fadeInSeconds);
        panel.prefetch(recents);
    }
}

int HUDController::showWindow(const std::vector<SwitchTarget>& recents, int s, bool fresh) {
    // The window of at most nine entries: the cursor sits in the middle slot away from the
    // ends, and the window is pinned to the first or last entry near them.
    const int n = static_cast<int>(recents.size());
    const int lo0 = std::max(s - maxVisible / 2, 0);
    const int hi = std::min(lo0 + maxVisible, n);
    const int lo = std::max(hi - maxVisible, 0);
    if (fresh || lo != lastLo_ || hi != lastHi_) {
        // Out-of-range cursors are passed on as they are; an empty window then.
        if (lo < hi) {
            model_.visible.set(std::vector<SwitchTarget>(recents.begin() + lo, recents.begin() + hi));
        } else {
            model_.visible.set({});
        }
        model_.moreBefore.set(lo > 0);
        model_.moreAfter.set(hi < n);
        lastLo_ = lo;
        lastHi_ = hi;
    }
    return lo;
}

void HUDController::fit(HUDPanel& panel, bool wasVisible, const SizeKey& key) {
    QSizeF size;
    if (wasVisible) {
        if (lastSizeKey_ && *lastSizeKey_ == key) return;
        // Grow if needed, never shrink below the size of this showing.
        size = atLeast(panel.fittingSize(model_), gestureStableSize_);
    } else {
        size = stableFittingSize();
        gestureStableSize_ = size;
    }
    if (!wasVisible || size != lastSize_) {
        panel.setFrame(centred(size));
        lastSize_ = size;
    }
    lastSizeKey_ = key;
}

QSizeF HUDController::stableFittingSize() {
    // Measured for both rows holding the focus, so moving between them never resizes.
    if (!probeModel_) probeModel_ = std::make_unique<HUDModel>();
    HUDModel& p = *probeModel_;
    p.visible.set(model_.visible());
    p.selected.set(model_.selected());
    p.moreBefore.set(model_.moreBefore());
    p.moreAfter.set(model_.moreAfter());
    p.recentsCount.set(model_.recentsCount());
    p.recentsAbsolute.set(model_.recentsAbsolute());
    p.favourites.set(model_.favourites());
    p.favSelected.set(model_.favSelected());
    p.labelStyle.set(model_.labelStyle());
    p.style.set(model_.style());
    p.compactPeek.set(model_.compactPeek());
    p.cancelProgress.set(0);
    p.focus.set(SwitcherRow::recents);
    QSizeF a = panel_->fittingSize(p);
    if (model_.favourites().empty()) return a;
    p.focus.set(SwitcherRow::favourites);
    return atLeast(a, panel_->fittingSize(p));
}

QRectF HUDController::centred(QSizeF size) const {
    QPointF pointer = screens_->pointer();
    std::optional<QRectF> screen;
    for (const QRectF& r : screens_->screens()) {
        // Half-open: the pixel column at a screen's right edge belongs to its neighbour.
        if (pointer.x() >= r.left() && pointer.x() < r.right() && pointer.y() >= r.top() && pointer.y() < r.bottom()) {
            screen = r;
            break;
        }
    }
    if (!screen) screen = screens_->primary();
    if (!screen) return QRectF(panel_->frame().topLeft(), size);
    // Whole logical pixels, so the card is drawn crisp.
    return QRectF(std::round(screen->center().x() - size.width() / 2),
                  std::round(screen->center().y() - size.height() / 2), size.width(), size.height());
}

void HUDController::setCancelProgress(double progress) {
    double p = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    double old = model_.cancelProgress();
    model_.cancelProgress.set(p);
    if ((p > cancelIndicatorThreshold) != (old > cancelIndicatorThreshold)) refitGrowingDown();
}

void HUDController::refitGrowingDown() {
    if (!panel_ || !panel_->isVisible()) return;
    // The size of this showing stays a floor: a row that needs more room when it takes the
    // focus later must still fit after the cancel indicator came and went.
    QSizeF size = atLeast(panel_->fittingSize(model_), gestureStableSize_);
    if (size == lastSize_) return;
    // The top edge and the horizontal centre stay put: the panel grows and shrinks at its bottom.
    QRectF old = panel_->frame();
    panel_->setFrame(
        QRectF(std::round(old.x() - (size.width() - old.width()) / 2), old.y(), size.width(), size.height()));
    lastSize_ = size;
}

void HUDController::hide() {
    if (panel_) panel_->hide();
}

}  // namespace trellick
