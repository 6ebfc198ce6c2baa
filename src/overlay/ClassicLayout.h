#pragma once
// The classic style's layout: a plain, flat card in the manner of a classic application
// switcher. The selected icon sits on a soft grey tile, an ellipsis marks entries before or
// after the window, a thin scroll indicator, a caption and the cancel ring. No border and no
// shadow, so the card fills the whole fitting size. Pure geometry from the model, the fonts
// and the appearance: every rectangle, size, opacity and colour the painter uses, in content
// coordinates (origin at the card's top left).

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

struct ClassicMetrics {
    static constexpr double fullIcon = 56;
    static constexpr double peekIcon = 20;
    static constexpr double iconBoxFull = 72;  // also the selection tile's side
    static constexpr double iconBoxPeek = 30;
    static constexpr double compactPeekCell = 46;
    static constexpr double favCell = 80;
    static constexpr double labelAreaH = 40;

    static constexpr double cellSpacing = 6;   // between cells, and around the ellipses
    static constexpr double glyphSpacing = 8;  // after the favourites row's glyph
    static constexpr double stackSpacing = 10;
    static constexpr double margin = 20;
    static constexpr double cardRadius = 22;
    static constexpr double tileRadius = 14;
    static constexpr double tileOpacity = 0.18;  // of the primary colour
    static constexpr double ellipsisWidth = 18;
    static constexpr double captionWidth = 320;
    static constexpr double placeholderPeekScale = 1.2;

    static double recentsCell(HUDLabelStyle s) { return s == HUDLabelStyle::perIcon ? 104 : 72; }
    // With k = max(number of visible entries, 1).
    static double recentsRowWidth(HUDLabelStyle s, int visibleCount);
};

// The desktop's own semantic colours: the style has no light or dark case of its own.
struct ClassicColours {
    QColor material;   // translucent with a compositor, opaque without
    QColor primary;    // selected labels, the caption's title
    QColor secondary;  // other labels, subtitles, ellipses, the glyph, the scroll thumb
    QColor tile;       // the primary colour at the tile's opacity
    QColor accent;     // the cancel ring
};
ClassicColours classicColours(const Appearance& appearance, bool composited);

// "…" before or after the cells: null and no width taken when not shown.
struct ClassicEllipsis {
    QRectF frame;
    double opacity = 0;
};

struct ClassicLayout {
    bool empty = true;  // nothing to show: the view draws nothing
    QSizeF size;        // the fitting size: the card
    QRectF card;
    PartRow favourites, recents;
    ClassicEllipsis leading, trailing;
    bool scrollPresent = false;
    QRectF scrollTrack;
    ScrollTrack scroll;
    double scrollOpacity = 0;
    PartCaption caption;
    bool ringPresent = false;
    QRectF ring;
    double ringProgress = 0;
    double ringOpacity = 0;
    ClassicColours colours;
};

// One layout pass. Writes into `out`, reusing its storage.
void layoutClassic(const HUDModel& model, const OverlayFonts& fonts, const Appearance& appearance, bool composited,
                   ClassicLayout& out);

// Blends two layouts of the same shape for the animated change of focus; parts present in
// only one fade in or out where they are.
void blendClassic(const ClassicLayout& a, const ClassicLayout& b, double t, ClassicLayout& out);

}  // namespace trellick
