#pragma once
// The overlay of the tray application and the desktop services it draws with: the light or
// dark scheme and the accent from the XDG desktop portal, and the compositor on the X screen.

#include <functional>
#include <memory>

#include "gesture/HUD.h"

namespace trellick {

class X11Connection;

// Makes the overlay controller when the delegate's launch sequence reaches it (after the
// trackers, before the engine). Call after the QApplication exists. Without an X11 connection
// (a Wayland session), or where Qt does not draw through X11, it makes no overlay: a held
// swipe then walks the list unseen, as with the overlay turned off.
std::function<std::shared_ptr<HUD>()> desktopOverlay(std::shared_ptr<X11Connection> connection);

}  // namespace trellick
