#pragma once
// The modern style's layout: a frosted card with an optional favourites row on top, the
// recents row with an accent plate under the selected icon, a thin scroll indicator, a
// caption naming the focused entry and the cancel ring. Pure geometry from the model, the
// fonts and the appearance: every rectangle, size, opacity and colour the painter uses, in
// content coordinates (origin at the top left of the fitting size, shadow margin included).

#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <vector>

#include "overlay/HUDModel.h"
#include "overlay/OverlayDesktop.h"
#include "overlay/StyleParts.h"
#include "overlay/Widgets.h"

namespace trellick {

class OverlayFonts;

struct ModernMetrics {
    static constexpr double fullIcon = 52;
    static constexpr double peekIcon = 20;
    static constexpr double iconBoxFull = 64;
    static constexpr double iconBoxPeek = 30;
    static constexpr double compactPeekCell = 46;
    static constexpr double plate = 64;
    static constexpr double iconSpacing = 8;
    static constexpr double favCell = 76;
    static constexpr double chevronSlot = 16;
    static constexpr double labelAreaH = 40;
    static constexpr double shadowPad = 44;

    static constexpr double stackSpacing = 10;
    static constexpr double marginX = 22, marginY = 18;
    static constexpr double cardRadius = 24;
    static constexpr double plateRadius = 16;
    static constexpr double placeholderPeekScale = 1.2;
    static constexpr double selectedIconScale = 1.06;
    static constexpr double captionWidth = 360;
    static constexpr double shadowBlur = 26, shadowOffsetY = 14;
    static constexpr double glowBlur = 12;
    static constexpr double iconShadowBlur = 5, iconShadowOffsetY = 3;

    static double recentsCell(HUDLabelStyle s) { return s == HUDLabelStyle::perIcon ? 120 : 64; }
    // With k = max(number of visible entries, 1).
    static double recentsRowWidth(HUDLabelStyle s, int visibleCount);
};

struct ModernColours {
    QColor material;     // the card's fill: translucent with a compositor, opaque without
    QColor gradientTop;  // the sheen at the card's top, fading to clear at its middle
    QColor border;       // hairline inside the card's edge
    QColor shadow;       // transparent without a compositor
    QColor primary;      // text
    QColor secondary;    // glyphs, chevrons, subtitles, the scroll thumb
    QColor accent;
    QColor plateTop, plateBottom, plateBorder, plateGlow;
};
ModernColours modernColours(const Appearance& appearance, bool composited);

// A row and the accent plate under its selected icon.
struct ModernRow : PartRow {
    QRectF plate;  // meaningful when plateOpacity > 0
    double plateOpacity = 0;
    double glyphOpacity = 0.45;
};

struct ModernChevron {
    QRectF slot;  // keeps its width when hidden
    QRectF glyph;
    double opacity = 0;
};

struct ModernLayout {
    bool empty = true;  // nothing to show: the view draws nothing
    QSizeF size;        // the fitting size
    QRectF card;
    ModernRow favourites, recents;
    ModernChevron leading, trailing;
    bool scrollPresent = false;
    QRectF scrollTrack;
    ScrollTrack scroll;
    double scrollOpacity = 0;
    PartCaption caption;
    bool ringPresent = false;
    QRectF ring;
    double ringProgress = 0;
    double ringOpacity = 0;
    ModernColours colours;
};

// One layout pass. Writes into `out`, reusing its storage, so laying out the same shape again
// allocates nothing.
void layoutModern(const HUDModel& model, const OverlayFonts& fonts, const Appearance& appearance, bool composited,
                  ModernLayout& out);

// Blends two layouts of the same shape (t = 0 gives `a`, 1 gives `b`; a spring may overshoot)
// for the animated change of focus. Parts present in only one fade in or out.
void blendModern(const ModernLayout& a, const ModernLayout& b, double t, ModernLayout& out);

}  // namespace trellick
