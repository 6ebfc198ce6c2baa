#pragma once
// The status icon: two overlapping windows with a swap arrow, drawn by the project so that no
// icon theme is needed.

#include <QIcon>

namespace trellick {

QIcon drawTrayIcon();

}  // namespace trellick
