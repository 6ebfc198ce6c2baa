#pragma once
// What HUDController needs of the window that shows the overlay and of the screens: seams,
// so that the controller's windowing, sizing and placement run without a display in tests
// and in `debug-gestures --overlay`. Main thread only.
//
// Coordinates are Qt's: global, logical pixels, origin at the top left of the desktop.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

#include "common/SwitchTarget.h"

namespace trellick {

class HUDModel;

class HUDPanel {
public:
    virtual ~HUDPanel() = default;
    // Shown from show until hide.
    virtual bool isVisible() const = 0;
    // One layout pass over `model` in the panel's fonts and style: the size that shows it whole.
    virtual QSizeF fittingSize(const HUDModel& model) = 0;
    virtual QRectF frame() const = 0;
    // Moves and resizes; a shown panel redraws at once.
    virtual void setFrame(const QRectF& frame) = 0;
    // Shows the panel above every window without taking the focus, fading in over
    // `fadeSeconds` with an ease-out curve where the desktop can blend windows.
    virtual void show(double fadeSeconds) = 0;
    // Hides it at once.
    virtual void hide() = 0;
    // The whole list of a fresh showing: the panel gets its icons ready while it is shown,
    // so that entries which come into view later are drawn from what is already there.
    virtual void prefetch(const std::vector<SwitchTarget>& targets) = 0;
};

class ScreenLocator {
public:
    virtual ~ScreenLocator() = default;
    virtual QPointF pointer() const = 0;
    // Every screen's whole frame, in the system's order.
    virtual std::vector<QRectF> screens() const = 0;
    virtual std::optional<QRectF> primary() const = 0;
};

}  // namespace trellick
