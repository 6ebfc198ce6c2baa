#pragma once
// The retro style's layout: a small window in the look of the Windows 95 desktop. A navy title
// bar reading "Switcher" with three buttons, silver bevelled surfaces, icons whose selected
// cell turns navy, arrows, a bevelled scroll bar and a sunken status field. Instead of a
// cancel ring a mouse pointer rests on the selected icon and glides to the close button as a
// cancelling pull proceeds; the button is drawn pressed near the end. Its palette is its own
// and fixed: a light or dark desktop draws it alike. Pure geometry from the model and the
// fonts, in content coordinates (origin at the window's top left, which is the "hud" space).

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <array>
#include <optional>
#include <vector>

#include "overlay/HUDModel.h"
#include "overlay/StyleParts.h"
#include "overlay/Symbols.h"

namespace trellick {

class OverlayFonts;

// The palette, fully opaque sRGB: silver 0.753, silverLight 0.878, gray 0.502, navy blue 0.502,
// as the 8-bit values they are.
struct Win95 {
    static inline const QColor silver{192, 192, 192};
    static inline const QColor silverLight{224, 224, 224};
    static inline const QColor gray{128, 128, 128};
    static inline const QColor navy{0, 0, 128};
    static inline const QColor ink{0, 0, 0};
    static inline const QColor white{255, 255, 255};
};

struct Win95Metrics {
    static constexpr double fullIcon = 48;
    static constexpr double peekIcon = 20;
    static constexpr double iconBoxFull = 60;
    static constexpr double iconBoxPeek = 30;
    static constexpr double compactPeekCell = 44;
    static constexpr double favCell = 72;
    static constexpr double labelAreaH = 36;

    static constexpr double cellSpacing = 6;   // between cells and beside the arrows
    static constexpr double glyphSpacing = 8;  // after the favourites row's glyph
    static constexpr double cellPadding = 2;   // around a cell's icon and label: the navy block
    static constexpr double labelSpacing = 3;
    static constexpr double placeholderPeekScale = 1.2;
    static constexpr double arrowSlot = 16;

    static constexpr double titleInset = 3;  // of the title bar from the window's edge
    static constexpr double titleSpacing = 6;
    static constexpr double titleLeading = 6, titleTrailing = 4, titleVertical = 3;
    static constexpr double titleMinGap = 24;
    static constexpr double buttonWidth = 16, buttonHeight = 14;
    static constexpr double pressedThreshold = 0.82;  // cancel progress above which "xmark" is pressed

    static constexpr double contentSpacing = 10;
    static constexpr double contentMarginX = 14, contentTop = 6, contentBottom = 12;

    static constexpr double scrollHeight = 12, thumbHeight = 8, thumbMin = 24;
    static constexpr double statusWidth = 300, statusMarginX = 8, statusMarginY = 4;

    static double recentsCell(HUDLabelStyle s) { return s == HUDLabelStyle::perIcon ? 100 : 64; }
    // With k = max(number of visible entries, 1).
    static double recentsRowWidth(HUDLabelStyle s, int visibleCount);
};

// A two-pixel 3-D edge over a rectangle of any size: eight one-pixel strips, drawn in order so
// that later strips cover the corners of earlier ones.
struct Win95Bevel {
    bool raised = true;

    struct Strip {
        QRectF rect;
        QColor colour;
    };
    std::array<Strip, 8> strips(const QRectF& r) const;
};

// The arrow pointer (its polygon is retroPointerPath()): white, outlined in black, with a
// soft shadow. Its tip is the polygon's first point.
struct Win95Cursor {
    static constexpr double lineWidth = 1.2;
    static constexpr double shadowOpacity = 0.25, shadowBlur = 1, shadowOffset = 0.5;
    static constexpr double width = 12, height = 20;
};

// The scroll bar's thumb in a track `width` wide: it follows the cursor over the whole list.
struct Win95Thumb {
    double length;
    double offset;  // from the track's inner leading edge (one pixel in from the track's)
};
Win95Thumb win95Thumb(int count, int visible, int absolute, double width);

// Where the cancel pointer's tip is for `progress` (0 to 1): from just left of the selected
// icon's centre towards the close button. Without those rectangles it starts from the window's
// centre area and heads for a point 15 from the right edge and 13 from the top, and it is
// drawn only once the pull has begun.
struct Win95CancelPointer {
    bool drawn = false;
    QPointF start, end;
    double progress = 0;
    QPointF tip() const { return start + progress * (end - start); }
};
Win95CancelPointer win95CancelPointer(const std::optional<QRectF>& selectedIcon,
                                      const std::optional<QRectF>& closeButton, QSizeF window, double progress);
// The pointer's start for a selected icon at `icon`, or the fallback in `window`.
QPointF win95PointerStart(const std::optional<QRectF>& icon, QSizeF window);

struct Win95Arrow {
    QRectF slot;  // keeps its width when hidden
    QRectF glyph;
    double opacity = 0;
};

struct Win95TitleButton {
    Symbol symbol = Symbol::minus;
    QRectF frame;
    bool pressed = false;
};

struct Win95ScrollBar {
    bool present = false;
    QRectF track;
    QRectF thumb;
    double opacity = 0;
};

struct Windows95Layout {
    bool empty = true;  // nothing to show: the view draws nothing
    QSizeF size;        // the fitting size: the window
    QRectF window;
    QRectF titleBar;
    QRectF titleGlyph;                        // "rectangle.2.swap"
    QRectF titleText;                         // "Switcher", one line
    std::array<Win95TitleButton, 3> buttons;  // "minus", "square", "xmark"
    PartRow favourites, recents;
    Win95Arrow left, right;
    Win95ScrollBar scroll;
    PartCaption caption;  // the status field: the sunken frame with its margins, and its lines
    std::optional<QRectF> selectedIcon;
    QRectF closeButton;
    Win95CancelPointer pointer;
};

// One layout pass. Writes into `out`, reusing its storage.
void layoutWindows95(const HUDModel& model, const OverlayFonts& fonts, Windows95Layout& out);

// Blends two layouts of the same shape for the animated change of focus.
void blendWindows95(const Windows95Layout& a, const Windows95Layout& b, double t, Windows95Layout& out);

}  // namespace trellick
