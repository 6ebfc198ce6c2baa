#include "overlay/ModernLayout.h"

#include <algorithm>
#include <cmath>

#include "overlay/LayoutBlend.h"
#include "overlay/OverlayFonts.h"
#include "overlay/PartStack.h"
#include "overlay/Symbols.h"

namespace trellick {

namespace {

using M = ModernMetrics;

constexpr int labelTitlePoints = 13, labelSubtitlePoints = 11;
constexpr int captionTitlePoints = 18, captionSubtitlePoints = 14;
constexpr int chevronPoints = 22;
constexpr double labelLineSpacing = 2;
constexpr double captionLineSpacing = 3;

QColor white(double a) {
    return QColor::fromRgbF(1, 1, 1, static_cast<float>(a));
}
QColor black(double a) {
    return QColor::fromRgbF(0, 0, 0, static_cast<float>(a));
}

constexpr CellMetrics cellMetrics{M::fullIcon,
                                  M::peekIcon,
                                  M::iconBoxFull,
                                  M::iconBoxPeek,
                                  M::compactPeekCell,
                                  M::favCell,
                                  M::iconSpacing,
                                  0,
                                  6,
                                  4,
                                  M::labelAreaH,
                                  labelTitlePoints,
                                  labelSubtitlePoints,
                                  QFont::DemiBold,
                                  labelLineSpacing,
                                  M::placeholderPeekScale,
                                  0.6,
                                  0.85,
                                  M::selectedIconScale,
                                  0.25,
                                  24,
                                  16,
                                  18,
                                  12,
                                  8};
constexpr CaptionMetrics captionMetrics{captionTitlePoints, captionSubtitlePoints, QFont::DemiBold, captionLineSpacing,
                                        M::captionWidth};

// The plate sits behind the selected cell's icon box, or the first cell's when none is
// selected (then it is hidden).
void placePlate(ModernRow& row) {
    row.plateOpacity = row.selection >= 0 ? 1 : 0;
    row.plate = QRectF(row.cells.left() + std::max(row.selection, 0) * (row.cellWidth + M::iconSpacing) +
                           (row.cellWidth - M::plate) / 2,
                       row.cells.top(), M::plate, M::plate);
}

}  // namespace

double ModernMetrics::recentsRowWidth(HUDLabelStyle s, int visibleCount) {
    int k = std::max(visibleCount, 1);
    return recentsCell(s) * k + iconSpacing * (k - 1);
}

ModernColours modernColours(const Appearance& appearance, bool composited) {
    const bool dark = appearance.scheme == ColorScheme::dark;
    auto secondary = [dark](double d, double l) { return dark ? white(d) : black(l); };
    ModernColours c;
    if (composited) {
        c.material = dark ? QColor(32, 32, 36, 230) : QColor(248, 248, 250, 230);
        c.shadow = black(dark ? 0.4 : 0.18);
    } else {
        c.material = dark ? QColor(44, 44, 48) : QColor(242, 242, 244);
        c.shadow = Qt::transparent;
    }
    c.gradientTop = white(dark ? 0.1 : 0);
    c.border = secondary(0.14, 0.07);
    c.primary = dark ? white(0.85) : black(0.85);
    c.secondary = secondary(0.85, 0.55);
    c.accent = appearance.accent;
    auto accent = [&](double a) {
        QColor x = appearance.accent;
        x.setAlphaF(static_cast<float>(a));
        return x;
    };
    c.plateTop = accent(0.3);
    c.plateBottom = accent(0.16);
    c.plateBorder = accent(0.85);
    c.plateGlow = accent(0.5);
    return c;
}

namespace {

// Where the parts of the card go.
struct ModernOrigins {
    QPointF favourites, recents, scroll, caption, ring;
};

void clearModern(ModernLayout& L) {
    L.size = QSizeF(0, 0);
    L.card = QRectF();
    L.favourites.cellList.clear();
    L.recents.cellList.clear();
    L.scrollPresent = L.caption.present = L.ringPresent = false;
    L.scrollOpacity = L.ringOpacity = 0;
}

void layoutRecents(ModernLayout& L, const HUDModel& m, const OverlayFonts& fonts, bool favFocus) {
    ModernRow& row = L.recents;
    layoutCells(row, m.visible(), !favFocus, M::recentsCell(m.labelStyle()), m.selected(), m, fonts, cellMetrics);
    const QSizeF chevron = symbolSize(Symbol::chevronCompactLeft, chevronPoints);
    const double h = std::max(chevron.height(), row.cells.height());
    // Vertically centred: chevron slots either side keep their width when hidden.
    offsetCells(row, QPointF(M::chevronSlot + M::stackSpacing, (h - row.cells.height()) / 2));
    const double trailingX = row.cells.right() + M::stackSpacing;
    L.leading.slot = QRectF(0, (h - chevron.height()) / 2, M::chevronSlot, chevron.height());
    L.trailing.slot = QRectF(trailingX, L.leading.slot.y(), M::chevronSlot, chevron.height());
    for (ModernChevron* c : {&L.leading, &L.trailing})
        c->glyph = QRectF(c->slot.center().x() - chevron.width() / 2, c->slot.y(), chevron.width(), chevron.height());
    L.leading.opacity = !favFocus && m.moreBefore() ? 0.6 : 0;
    L.trailing.opacity = !favFocus && m.moreAfter() ? 0.6 : 0;
    row.frame = QRectF(0, 0, trailingX + M::chevronSlot, h);
    row.glyphSlot = row.glyph = QRectF();
}

// Moves the parts, laid out at the origin, to their places on the card.
void placeParts(ModernLayout& L, const ModernOrigins& at) {
    if (L.favourites.present) {
        placeRow(L.favourites, at.favourites);
        placePlate(L.favourites);
    }
    placeRow(L.recents, at.recents);
    placePlate(L.recents);
    for (ModernChevron* c : {&L.leading, &L.trailing}) {
        c->slot.translate(at.recents);
        c->glyph.translate(at.recents);
    }
    L.scrollTrack = L.scrollPresent ? QRectF(at.scroll, QSizeF(L.scroll.width, L.scroll.height))
                                    : QRectF(L.recents.cells.left(), L.recents.frame.bottom() + M::stackSpacing,
                                             L.scroll.width, L.scroll.height);
    placeCaption(L.caption, at.caption);
    L.ring = QRectF(at.ring, QSizeF(CancelRing::side, CancelRing::side));
}

}  // namespace

void layoutModern(const HUDModel& m, const OverlayFonts& fonts, const Appearance& appearance, bool composited,
                  ModernLayout& L) {
    L.colours = modernColours(appearance, composited);
    const auto& visible = m.visible();
    L.empty = visible.empty() && m.favourites().empty();
    L.favourites.present = !m.favourites().empty();
    L.recents.present = !L.empty;
    if (L.empty) return clearModern(L);
    const bool favFocus = m.focus() == SwitcherRow::favourites;
    // Each part of the card's vertical stack: its size, then its place.
    ModernOrigins at;
    PartStack stack;

    if (L.favourites.present) {
        layoutFavourites(L.favourites, m, fonts, favFocus, cellMetrics);
        stack.add(L.favourites.frame.size(), &at.favourites);
    } else {
        L.favourites.cellList.clear();
        L.favourites.plateOpacity = 0;
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
    L.card = QRectF(M::shadowPad, M::shadowPad, inner.width() + 2 * M::marginX, inner.height() + 2 * M::marginY);
    L.size = QSizeF(L.card.width() + 2 * M::shadowPad, L.card.height() + 2 * M::shadowPad);
    stack.place(L.card.left() + M::marginX, L.card.top() + M::marginY, inner.width(), M::stackSpacing);
    placeParts(L, at);
}

void blendModern(const ModernLayout& a, const ModernLayout& b, double t, ModernLayout& out) {
    out = b;
    if (!sameShape(a, b)) return;
    out.size =
        QSizeF(blend::value(a.size.width(), b.size.width(), t), blend::value(a.size.height(), b.size.height(), t));
    out.card = blend::rect(a.card, b.card, t);
    for (ModernRow* r : {&out.favourites, &out.recents}) {
        const ModernRow& from = r == &out.favourites ? a.favourites : a.recents;
        const ModernRow& to = r == &out.favourites ? b.favourites : b.recents;
        blendRow(from, to, t, *r);
        // The plate belongs to the row with the focus: it fades rather than travels between
        // rows, growing or shrinking with the icon box it sits behind.
        r->plateOpacity = blend::opacity(from.plateOpacity, to.plateOpacity, t);
        const int cell = r->selection >= 0 ? r->selection : from.selection;
        if (cell >= 0 && cell < static_cast<int>(r->cellList.size())) r->plate = r->cellList[cell].box;
    }
    for (auto [ca, cb, co] :
         {std::tuple{&a.leading, &b.leading, &out.leading}, std::tuple{&a.trailing, &b.trailing, &out.trailing}}) {
        co->slot = blend::rect(ca->slot, cb->slot, t);
        co->glyph = blend::rect(ca->glyph, cb->glyph, t);
    }
    out.scrollOpacity = blend::opacity(a.scrollOpacity, b.scrollOpacity, t);
    out.scrollPresent = a.scrollPresent || b.scrollPresent;
    if (!b.scrollPresent && a.scrollPresent) {
        out.scrollTrack = a.scrollTrack;
        out.scroll = a.scroll;
    } else if (a.scrollPresent && b.scrollPresent) {
        out.scrollTrack = blend::rect(a.scrollTrack, b.scrollTrack, t);
    }
    blendCaption(a.caption, b.caption, t, out.caption);
    if (a.ringPresent && b.ringPresent) out.ring = blend::rect(a.ring, b.ring, t);
}

}  // namespace trellick
