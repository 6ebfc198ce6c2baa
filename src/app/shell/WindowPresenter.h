#pragma once
// Brings one of Trellick's own windows to the front (a menu entry, a second launch, the first
// start): shows it and asks, in the window system's own way, for it to become the active
// window. The composition root picks the way for the session.

#include <functional>

class QWidget;

namespace trellick {

using WindowPresenter = std::function<void(QWidget* window)>;

// Show, raise and Qt's own activation request. Enough where the window system has no way of
// its own: on Wayland the compositor decides, given the activation token a second launch
// passes on.
void presentPlainly(QWidget* window);

}  // namespace trellick
