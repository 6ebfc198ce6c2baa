#pragma once
// The status icon: two overlapping windows with a swap arrow, drawn by the project so that no
// icon theme is needed.

#include <QIcon>

namespace trellick {

QIcon drawTrayIcon();

// The application's icon for its windows: the installed theme icon, else the drawn one.
QIcon applicationIcon();

}  // namespace trellick
