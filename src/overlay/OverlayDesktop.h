#pragma once
// What the overlay (and the shell's windows) need of the desktop beyond Qt: the colour scheme
// and accent colour the user chose, whether a compositor blends translucent windows, and
// blur behind a window where the compositor offers it. Implemented in platform/ (the XDG
// desktop portal, each window system); tests use doubles. Main thread only.

#include <QColor>
#include <QRegion>
#include <functional>

#include "common/Observable.h"

class QWindow;

namespace trellick {

enum class ColorScheme { light, dark };

struct Appearance {
    ColorScheme scheme = ColorScheme::light;
    // The desktop's accent colour where it offers one, else the palette's highlight.
    QColor accent{0x35, 0x84, 0xe4};

    bool operator==(const Appearance& o) const { return scheme == o.scheme && accent == o.accent; }
};

class AppearanceSource {
public:
    virtual ~AppearanceSource() = default;
    virtual Appearance current() const = 0;
    // Hears the current appearance at once, then every change.
    virtual Subscription subscribe(std::function<void(const Appearance&)> handler) = 0;
};

class CompositorSupport {
public:
    virtual ~CompositorSupport() = default;
    // A compositing manager runs on the screen (an owner of _NET_WM_CM_S<screen>), so ARGB
    // windows are blended with what lies below and window opacity takes effect.
    virtual bool compositorActive() const = 0;
    // Hears the current state at once, then every change (a compositor started or quit).
    virtual Subscription subscribe(std::function<void(bool active)> handler) = 0;
    // Asks the compositor to blur what lies behind `region` of `window` (window coordinates,
    // logical pixels) where it offers blur-behind; an empty region withdraws the request.
    virtual void setBlurBehind(QWindow* window, const QRegion& region) = 0;
    // Asks the compositor to add no shadow of its own around `window`, which draws its own: a
    // compositor's shadow follows the whole window, not the card drawn inside it.
    virtual void drawsOwnShadow(QWindow* window) = 0;
};

}  // namespace trellick
