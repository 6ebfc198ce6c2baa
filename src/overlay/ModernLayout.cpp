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

bool hasText(const std::optional<std::string>& s) {
    return s && !s->empty();
}

QColor white(double a) {
    return QColor::fromRgbF(1, 1, 1, static_cast<float>(a));
}
QColor black(double a) {
    return QColor::fromRgbF(0, 0, 0, static_cast<float>(a));
}

// Lays a row of cells out at the origin of its layer.
void layoutCells(ModernRow& row, const std::vector<SwitchTarget>& list, bool focused, double focusedCellWidth,
                 int selection, const HUDModel& m, const OverlayFonts& fonts) {
    const bool labels = focused && m.labelStyle() == HUDLabelStyle::perIcon;
    const double cellW = focused || !m.compactPeek() ? focusedCellWidth : M::compactPeekCell;
    const double box = focused ? M::iconBoxFull : M::iconBoxPeek;
    const double cellH = box + (labels ? 4 + M::labelAreaH : 0);
    const int k = static_cast<int>(list.size());
    row.focused = focused;
    row.cellWidth = cellW;
    row.selection = focused && selection >= 0 && selection < k ? selection : -1;
    row.cellList.resize(list.size());
    for (int i = 0; i < k; ++i) {
        ModernCell& c = row.cellList[i];
        const bool sel = i == row.selection;
        const bool ph = list[i].isPlaceholder;
        const double side = focused ? M::fullIcon : M::peekIcon * (ph ? M::placeholderPeekScale : 1);
        c.selected = sel;
        c.placeholder = ph;
        c.frame = QRectF(i * (cellW + M::iconSpacing), 0, cellW, cellH);
        c.box = QRectF(c.frame.x() + (cellW - box) / 2, 0, box, box);
        c.icon = QRectF(c.box.x() + (box - side) / 2, (box - side) / 2, side, side);
        c.iconScale = sel ? M::selectedIconScale : 1;
        c.shadowOpacity = sel ? 0.25 : 0;
        c.iconOpacity = ph ? 1 : focused ? (sel ? 1 : 0.6) : 0.5;
        if (labels) {
            c.label = QRectF(c.frame.x() + 3, box + 4, cellW - 6, M::labelAreaH);
            double th = fonts.lineHeight(labelTitlePoints, sel ? QFont::DemiBold : QFont::Medium);
            c.labelTitle = QRectF(c.label.x(), c.label.y(), c.label.width(), th);
            c.hasLabelSubtitle = hasText(list[i].subtitle);
            c.labelSubtitle = c.hasLabelSubtitle
                                  ? QRectF(c.label.x(), c.labelTitle.bottom() + labelLineSpacing, c.label.width(),
                                           fonts.lineHeight(labelSubtitlePoints, QFont::Normal))
                                  : QRectF();
            c.labelOpacity = sel ? 1 : 0.85;
        } else {
            c.label = c.labelTitle = c.labelSubtitle = QRectF();
            c.hasLabelSubtitle = false;
            c.labelOpacity = 0;
        }
    }
    row.cells = QRectF(0, 0, k > 0 ? cellW * k + M::iconSpacing * (k - 1) : 0, k > 0 ? cellH : 0);
    row.plateOpacity = row.selection >= 0 ? 1 : 0;
    row.plate =
        QRectF(std::max(row.selection, 0) * (cellW + M::iconSpacing) + (cellW - M::plate) / 2, 0, M::plate, M::plate);
}

// Moves the layer of cells, the plate and every cell by `by`.
void offsetCells(ModernRow& row, QPointF by) {
    row.cells.translate(by);
    row.plate.translate(by);
    for (auto& c : row.cellList) {
        for (QRectF* r : {&c.frame, &c.box, &c.icon, &c.label, &c.labelTitle, &c.labelSubtitle})
            if (!r->isNull()) r->translate(by);
    }
}

// Moves a whole row, laid out at its own origin, to its place in the card.
void placeRow(ModernRow& row, QPointF by) {
    row.frame.translate(by);
    if (!row.glyphSlot.isNull()) row.glyphSlot.translate(by);
    if (!row.glyph.isNull()) row.glyph.translate(by);
    offsetCells(row, by);
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

void layoutFavourites(ModernRow& row, const HUDModel& m, const OverlayFonts& fonts, bool favFocus) {
    layoutCells(row, m.favourites(), favFocus, M::favCell, m.favSelected(), m, fonts);
    const double box = favFocus ? M::iconBoxFull : M::iconBoxPeek;
    const double slotW = favFocus ? 24 : 16, glyphSide = favFocus ? 18 : 12;
    // Top-aligned: the glyph's frame is as tall as an icon box.
    row.glyphSlot = QRectF(0, 0, slotW, box);
    row.glyph = QRectF((slotW - glyphSide) / 2, (box - glyphSide) / 2, glyphSide, glyphSide);
    offsetCells(row, QPointF(slotW + 8, 0));
    row.frame = QRectF(0, 0, slotW + 8 + row.cells.width(), std::max(box, row.cells.height()));
}

void layoutRecents(ModernLayout& L, const HUDModel& m, const OverlayFonts& fonts, bool favFocus) {
    ModernRow& row = L.recents;
    layoutCells(row, m.visible(), !favFocus, M::recentsCell(m.labelStyle()), m.selected(), m, fonts);
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

void layoutCaption(ModernCaption& cap, const HUDModel& m, const OverlayFonts& fonts, bool favFocus) {
    cap.present = m.labelStyle() == HUDLabelStyle::caption;
    if (!cap.present) return;
    const SwitchTarget* focused = focusedTarget(m);
    cap.row = m.focus();
    cap.index = focused ? (favFocus ? m.favSelected() : m.selected()) : -1;
    cap.hasSubtitle = focused && hasText(focused->subtitle);
    const double th = fonts.lineHeight(captionTitlePoints, QFont::DemiBold);
    const double sh = fonts.lineHeight(captionSubtitlePoints, QFont::Normal);
    cap.title = QRectF(0, 0, M::captionWidth, th);
    cap.subtitle = cap.hasSubtitle ? QRectF(0, th + captionLineSpacing, M::captionWidth, sh) : QRectF();
    cap.frame = QRectF(0, 0, M::captionWidth, cap.hasSubtitle ? cap.subtitle.bottom() : th);
}

// Moves the parts, laid out at the origin, to their places on the card.
void placeParts(ModernLayout& L, const ModernOrigins& at) {
    if (L.favourites.present) placeRow(L.favourites, at.favourites);
    placeRow(L.recents, at.recents);
    for (ModernChevron* c : {&L.leading, &L.trailing}) {
        c->slot.translate(at.recents);
        c->glyph.translate(at.recents);
    }
    L.scrollTrack = L.scrollPresent ? QRectF(at.scroll, QSizeF(L.scroll.width, L.scroll.height))
                                    : QRectF(L.recents.cells.left(), L.recents.frame.bottom() + M::stackSpacing,
                                             L.scroll.width, L.scroll.height);
    ModernCaption& cap = L.caption;
    if (cap.present) {
        cap.frame.translate(at.caption);
        cap.title.translate(at.caption);
        if (cap.hasSubtitle) cap.subtitle.translate(at.caption);
    }
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
        layoutFavourites(L.favourites, m, fonts, favFocus);
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

    layoutCaption(L.caption, m, fonts, favFocus);
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

bool sameModernShape(const ModernLayout& a, const ModernLayout& b) {
    return !a.empty && !b.empty && a.favourites.present == b.favourites.present &&
           a.favourites.cellList.size() == b.favourites.cellList.size() &&
           a.recents.cellList.size() == b.recents.cellList.size() && a.caption.present == b.caption.present;
}

namespace {

// `ro` starts as a copy of `rb`, with the same number of cells as `ra`.
void blendRow(const ModernRow& ra, const ModernRow& rb, double t, ModernRow& ro) {
    ro.frame = blend::rect(ra.frame, rb.frame, t);
    ro.cells = blend::rect(ra.cells, rb.cells, t);
    ro.glyphSlot = blend::rect(ra.glyphSlot, rb.glyphSlot, t);
    ro.glyph = blend::rect(ra.glyph, rb.glyph, t);
    // The plate belongs to the row with the focus: it fades rather than travels between
    // rows, growing or shrinking with the icon box it sits behind.
    ro.plateOpacity = blend::opacity(ra.plateOpacity, rb.plateOpacity, t);
    for (std::size_t i = 0; i < ro.cellList.size(); ++i) {
        const ModernCell &ca = ra.cellList[i], &cb = rb.cellList[i];
        ModernCell& co = ro.cellList[i];
        co.frame = blend::rect(ca.frame, cb.frame, t);
        co.box = blend::rect(ca.box, cb.box, t);
        co.icon = blend::rect(ca.icon, cb.icon, t);
        co.iconScale = blend::value(ca.iconScale, cb.iconScale, t);
        co.iconOpacity = blend::opacity(ca.iconOpacity, cb.iconOpacity, t);
        co.shadowOpacity = blend::opacity(ca.shadowOpacity, cb.shadowOpacity, t);
        if (cb.label.isNull() && !ca.label.isNull()) {
            co = ca;  // the labels of the row losing the focus fade out where they were
            co.frame = blend::rect(ca.frame, cb.frame, t);
            co.box = blend::rect(ca.box, cb.box, t);
            co.icon = blend::rect(ca.icon, cb.icon, t);
            co.iconScale = blend::value(ca.iconScale, cb.iconScale, t);
            co.iconOpacity = blend::opacity(ca.iconOpacity, cb.iconOpacity, t);
            co.shadowOpacity = blend::opacity(ca.shadowOpacity, cb.shadowOpacity, t);
            co.labelOpacity = blend::opacity(ca.labelOpacity, 0, t);
        } else {
            co.labelOpacity = blend::opacity(ca.label.isNull() ? 0 : ca.labelOpacity, cb.labelOpacity, t);
        }
    }
}

}  // namespace

void blendModern(const ModernLayout& a, const ModernLayout& b, double t, ModernLayout& out) {
    out = b;
    if (!sameModernShape(a, b)) return;
    out.size =
        QSizeF(blend::value(a.size.width(), b.size.width(), t), blend::value(a.size.height(), b.size.height(), t));
    out.card = blend::rect(a.card, b.card, t);
    blendRow(a.favourites, b.favourites, t, out.favourites);
    blendRow(a.recents, b.recents, t, out.recents);
    for (ModernRow* r : {&out.favourites, &out.recents}) {
        const ModernRow& from = r == &out.favourites ? a.favourites : a.recents;
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
    out.caption.frame = blend::rect(a.caption.frame, b.caption.frame, t);
    const QPointF captionShift = out.caption.frame.topLeft() - b.caption.frame.topLeft();
    out.caption.title.translate(captionShift);
    if (out.caption.hasSubtitle) out.caption.subtitle.translate(captionShift);
    if (a.ringPresent && b.ringPresent) out.ring = blend::rect(a.ring, b.ring, t);
}

}  // namespace trellick
