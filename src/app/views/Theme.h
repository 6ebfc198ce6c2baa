#pragma once
// The look the shell's windows share: light and dark palettes following the desktop's
// appearance, the colours named by the design (secondary text, the primary colour at an
// opacity, the status green and orange), fonts in pixel sizes, and icons of the core's
// opaque icon handles.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <memory>
#include <optional>

#include "common/Observable.h"
#include "common/SwitchTarget.h"
#include "overlay/OverlayDesktop.h"

class QWidget;

namespace trellick::ui {

// The palette for `appearance`: `desktop` itself (with the accent) when it already has that
// lightness, else the project's own light or dark palette. Highlight and Link carry the accent.
QPalette paletteFor(const Appearance& appearance, const QPalette& desktop);

// Keeps `root` (and the windows it opens with Qt::WA_WindowPropagation) in the appearance
// `source` reports, now and on every change. Without a source the desktop palette stays.
Subscription followAppearance(QWidget* root, const std::shared_ptr<AppearanceSource>& source);

// The foreground colour (WindowText) at `alpha`: fills and outlines "in the primary colour".
QColor primary(const QPalette& palette, qreal alpha = 1.0);
QColor secondaryText(const QPalette& palette);
QColor accent(const QPalette& palette);
QColor statusGreen();
QColor statusOrange();

// `base` at a pixel size (the design's point sizes are logical pixels here) and weight.
QFont pixelFont(const QFont& base, int pixelSize, QFont::Weight weight = QFont::Normal);
// A font whose first choice is a colour emoji face, for the welcome and about marks.
QFont emojiFont(int pixelSize);
// A fixed-pitch font at a pixel size, for numbers and commands.
QFont monoFont(int pixelSize);

// The icon a platform layer put into a handle: a QImage in `data`, else a theme icon name or
// an absolute file path in `name`. Null when there is nothing to draw.
QIcon iconFor(const std::optional<IconHandle>& handle);

}  // namespace trellick::ui
