#include "overlay/ClassicLayout.h"

#include <algorithm>
#include <cmath>

#include "overlay/Drawing.h"
#include "overlay/LayoutBlend.h"
#include "overlay/OverlayFonts.h"
#include "overlay/PartStack.h"

namespace trellick {

namespace {

using M = ClassicMetrics;

constexpr int labelTitlePoints = 13, labelSubtitlePoints = 12;
constexpr int captionTitlePoints = 15, captionSubtitlePoints = 12;
constexpr int ellipsisPoints = 20;
constexpr double labelLineSpacing = 1, captionLineSpacing = 2;
constexpr double labelSpacing = 4;  // between the icon box and a per-icon label

constexpr CellMetrics cellMetrics{M::fullIcon,
                                  M::peekIcon,
                                  M::iconBoxFull,
                                  M::iconBoxPeek,
                                  M::compactPeekCell,
                                  M::favCell,
                                  M::cellSpacing,
                                  0,
                                  4,
                                  labelSpacing,
                                  M::labelAreaH,
                                  labelTitlePoints,
                                  labelSubtitlePoints,
                                  QFont::Bold,
                                  labelLineSpacing,
                                  M::placeholderPeekScale,
                                  1,  // every icon of the focused row is whole: only the tile marks the selection
                                  1,
                                  1,
                                  0,
                                  24,
                                  16,
                                  18,
                                  12,
                                  M::glyphSpacing};
constexpr CaptionMetrics captionMetrics{captionTitlePoints, captionSubtitlePoints, QFont::DemiBold, captionLineSpacing,
                                        M::captionWidth};

QColor white(double a) {
    return QColor::fromRgbF(1, 1, 1, static_cast<float>(a));
}
QColor black(double a) {
    return QColor::fromRgbF(0, 0, 0, static_cast<float>(a));
}

}  // namespace

double ClassicMetrics::recentsRowWidth(HUDLabelStyle s, int visibleCount) {
    const int k = std::max(visibleCount, 1);
    return recentsCell(s) * k + cellSpacing * (k - 1);
}

ClassicColours classicColours(const Appearance& appearance, bool composited) {
    const bool dark = appearance.scheme == ColorScheme::dark;
    ClassicColours c;
    // Thinner than the modern card's material; opaque where nothing blends it.
    if (composited) {
        c.material = dark ? QColor(28, 28, 32, 204) : QColor(246, 246, 248, 204);
    } else {
        c.material = dark ? QColor(38, 38, 42) : QColor(238, 238, 240);
    }
    c.primary = dark ? white(0.85) : black(0.85);
    c.secondary = dark ? white(0.55) : black(0.5);
    c.tile = withAlpha(c.primary, M::tileOpacity);
    c.accent = appearance.accent;
    return c;
}

namespace {

// Where the parts of the card go.
struct ClassicOrigins {
    QPointF favourites, recents, scroll, caption, ring;
};

void clearClassic(ClassicLayout& L) {
    L.size = QSizeF(0, 0);
    L.card = QRectF();
    L.favourites.cellList.clear();
    L.recents.cellList.clear();
    L.leading = L.trailing = ClassicEllipsis{};
    L.scrollPresent = L.caption.present = L.ringPresent = false;
    L.scrollOpacity = L.ringOpacity = 0;
}

// Top-aligned; an ellipsis that is not shown takes no room at all.
void layoutRecents(ClassicLayout& L, const HUDModel& m, const OverlayFonts& fonts, bool favFocus) {
    PartRow& row = L.recents;
    layoutCells(row, m.visible(), !favFocus, M::recentsCell(m.labelStyle()), m.selected(), m, fonts, cellMetrics);
    const double ellipsisH = fonts.lineHeight(ellipsisPoints, QFont::Bold);
    const bool before = !favFocus && m.moreBefore(), after = !favFocus && m.moreAfter();
    double x = 0, h = row.cells.height();
    L.leading = ClassicEllipsis{};
    L.trailing = ClassicEllipsis{};
    if (before) {
        L.leading = {QRectF(0, 0, M::ellipsisWidth, ellipsisH), 1};
        x = M::ellipsisWidth + M::cellSpacing;
        h = std::max(h, ellipsisH);
    }
    offsetCells(row, QPointF(x, 0));
    x += row.cells.width();
    if (after) {
        L.trailing = {QRectF(x + M::cellSpacing, 0, M::ellipsisWidth, ellipsisH), 1};
        x += M::cellSpacing + M::ellipsisWidth;
        h = std::max(h, ellipsisH);
    }
    row.frame = QRectF(0, 0, x, h);
    row.glyphSlot = row.glyph = QRectF();
}

// Moves the parts, laid out at the origin, to their places on the card.
void placeParts(ClassicLayout& L, const ClassicOrigins& at) {
    if (L.favourites.present) placeRow(L.favourites, at.favourites);
    placeRow(L.recents, at.recents);
    for (ClassicEllipsis* e : {&L.leading, &L.trailing})
        if (!e->frame.isNull()) e->frame.translate(at.recents);
    L.scrollTrack = L.scrollPresent ? QRectF(at.scroll, QSizeF(L.scroll.width, L.scroll.height))
                                    : QRectF(L.recents.cells.left(), L.recents.frame.bottom() + M::stackSpacing,
                                             L.scroll.width, L.scroll.height);
    placeCaption(L.caption, at.caption);
    L.ring = QRectF(at.ring, QSizeF(CancelRing::side, CancelRing::side));
}

}  // namespace

void layoutClassic(const HUDModel& m, const OverlayFonts& fonts, const Appearance& appearance, bool composited,
                   ClassicLayout& L) {
    L.colours = classicColours(appearance, composited);
    const auto& visible = m.visible();
    L.empty = visible.empty() && m.favourites().empty();
    L.favourites.present = !m.favourites().empty();
    L.recents.present = !L.empty;
    if (L.empty) return clearClassic(L);
    const bool favFocus = m.focus() == SwitcherRow::favourites;
    ClassicOrigins at;
    PartStack stack;

    if (L.favourites.present) {
        layoutFavourites(L.favourites, m, fonts, favFocus, cellMetrics);
        stack.add(L.favourites.frame.size(), &at.favourites);
    } else {
        L.favourites.cellList.clear();
        L.favourites.glyphSlot = L.favourites.glyph = QRectF();
    }
    layoutRecents(L, m, fonts, favFocus);
    stack.add(L.recents.frame.size(), &at.recents);

    L.scrollPresent = !favFocus && (m.moreBefore() || m.moreAfter());
    L.scroll = ScrollTrack{m.recentsCount(),
                           static_cast<int>(visible.size()),
                           m.recentsAbsolute(),
                           M::recentsRowWidth(m.labelStyle(), static_cast<int>(visible.size())),
                           L.colours.secondary,
                           3,
                           24};
    L.scrollOpacity = L.scrollPresent ? 1 : 0;
    if (L.scrollPresent) stack.add(QSizeF(L.scroll.width, L.scroll.height), &at.scroll);

    layoutCaption(L.caption, m, fonts, captionMetrics);
    if (L.caption.present) stack.add(L.caption.frame.size(), &at.caption);

    L.ringPresent = m.cancelProgress() > 0.1;
    L.ringProgress = m.cancelProgress();
    L.ringOpacity = L.ringPresent ? 1 : 0;
    if (L.ringPresent) stack.add(QSizeF(CancelRing::side, CancelRing::side), &at.ring);

    const QSizeF inner = stack.inner(M::stackSpacing);
    L.card = QRectF(0, 0, inner.width() + 2 * M::margin, inner.height() + 2 * M::margin);
    L.size = L.card.size();
    stack.place(M::margin, M::margin, inner.width(), M::stackSpacing);
    placeParts(L, at);
}

void blendClassic(const ClassicLayout& a, const ClassicLayout& b, double t, ClassicLayout& out) {
    out = b;
    if (!sameShape(a, b)) return;
    out.size =
        QSizeF(blend::value(a.size.width(), b.size.width(), t), blend::value(a.size.height(), b.size.height(), t));
    out.card = blend::rect(a.card, b.card, t);
    blendRow(a.favourites, b.favourites, t, out.favourites);
    blendRow(a.recents, b.recents, t, out.recents);
    // Ellipses fade where they are shown, keeping to their end of the row as it changes size.
    auto ellipsis = [&](const ClassicEllipsis& ea, const ClassicEllipsis& eb, bool trailing, ClassicEllipsis& eo) {
        eo.opacity = blend::opacity(ea.opacity, eb.opacity, t);
        const bool inB = !eb.frame.isNull();
        const QRectF& e = inB ? eb.frame : ea.frame;
        if (e.isNull()) return;
        const QRectF &from = (inB ? b : a).recents.cells, &to = out.recents.cells;
        eo.frame = e.translated(trailing ? to.right() - from.right() : to.left() - from.left(), to.top() - from.top());
    };
    ellipsis(a.leading, b.leading, false, out.leading);
    ellipsis(a.trailing, b.trailing, true, out.trailing);
    out.scrollOpacity = blend::opacity(a.scrollOpacity, b.scrollOpacity, t);
    out.scrollPresent = a.scrollPresent || b.scrollPresent;
    if (a.scrollPresent && b.scrollPresent) {
        out.scrollTrack = blend::rect(a.scrollTrack, b.scrollTrack, t);
    } else if (out.scrollPresent) {
        // Fading in or out, it stays under the recents row as that row changes size.
        const ClassicLayout& own = b.scrollPresent ? b : a;
        out.scroll = own.scroll;
        out.scrollTrack = blend::under(own.scrollTrack, own.recents.cells, out.recents.cells);
    }
    blendCaption(a.caption, b.caption, t, out.caption);
    // The ring is the card's last part: one that comes or goes with the change keeps to the
    // card's bottom as the card changes size.
    out.ringPresent = a.ringPresent || b.ringPresent;
    out.ringOpacity = blend::opacity(a.ringOpacity, b.ringOpacity, t);
    if (a.ringPresent && b.ringPresent) {
        out.ring = blend::rect(a.ring, b.ring, t);
    } else if (out.ringPresent) {
        const ClassicLayout& own = b.ringPresent ? b : a;
        out.ring =
            own.ring.translated(out.card.center().x() - own.card.center().x(), out.card.bottom() - own.card.bottom());
    }
}

}  // namespace trellick
