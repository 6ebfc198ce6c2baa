#include "overlay/Windows95Layout.h"

#include <algorithm>
#include <cmath>

#include "overlay/LayoutBlend.h"
#include "overlay/OverlayFonts.h"
#include "overlay/PartStack.h"

namespace trellick {

namespace {

using M = Win95Metrics;

constexpr int titlePoints = 12, titleGlyphPoints = 11, arrowPoints = 11;
constexpr int statusTitlePoints = 13, statusSubtitlePoints = 11;
constexpr double statusLineSpacing = 1;

constexpr CellMetrics cellMetrics{M::fullIcon,
                                  M::peekIcon,
                                  M::iconBoxFull,
                                  M::iconBoxPeek,
                                  M::compactPeekCell,
                                  M::favCell,
                                  M::cellSpacing,
                                  M::cellPadding,
                                  6,
                                  M::labelSpacing,
                                  M::labelAreaH,
                                  0,  // one line: the label is not split into title and subtitle
                                  0,
                                  QFont::Bold,
                                  0,
                                  M::placeholderPeekScale,
                                  1,
                                  1,
                                  1,
                                  0,
                                  22,
                                  14,
                                  16,
                                  11,
                                  M::glyphSpacing};
constexpr CaptionMetrics statusMetrics{statusTitlePoints, statusSubtitlePoints, QFont::Bold, statusLineSpacing,
                                       M::statusWidth};

}  // namespace

double Win95Metrics::recentsRowWidth(HUDLabelStyle s, int visibleCount) {
    const int k = std::max(visibleCount, 1);
    return recentsCell(s) * k + cellSpacing * (k - 1);
}

std::array<Win95Bevel::Strip, 8> Win95Bevel::strips(const QRectF& r) const {
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    const QColor& white = Win95::white;
    return {{
        {QRectF(x, y, w, 1), raised ? white : Win95::gray},
        {QRectF(x, y, 1, h), raised ? white : Win95::gray},
        {QRectF(x, y + h - 1, w, 1), raised ? Win95::ink : white},
        {QRectF(x + w - 1, y, 1, h), raised ? Win95::ink : white},
        {QRectF(x + 1, y + 1, w - 2, 1), raised ? Win95::silverLight : Win95::ink},
        {QRectF(x + 1, y + 1, 1, h - 2), raised ? Win95::silverLight : Win95::ink},
        {QRectF(x + 1, y + h - 2, w - 2, 1), raised ? Win95::gray : Win95::silverLight},
        {QRectF(x + w - 2, y + 1, 1, h - 2), raised ? Win95::gray : Win95::silverLight},
    }};
}

Win95Thumb win95Thumb(int count, int visible, int absolute, double width) {
    double thumb;
    if (count >= 1) {
        const double fraction = static_cast<double>(visible) / count;
        thumb = std::max(fraction < 1 ? fraction * width : width, M::thumbMin);
    } else {
        thumb = std::max(width, M::thumbMin);
    }
    // A cursor outside the list still keeps the thumb inside its track.
    const double position = count >= 2 ? std::clamp(static_cast<double>(absolute) / (count - 1), 0.0, 1.0) : 0.0;
    const double inner = width - 2;
    thumb = std::min(thumb, inner);
    return {thumb, position * (inner - thumb)};
}

QPointF win95PointerStart(const std::optional<QRectF>& icon, QSizeF window) {
    if (icon) return {icon->center().x() - 3, icon->top() + 0.42 * icon->height()};
    return {window.width() * 0.5, window.height() * 0.55};
}

Win95CancelPointer win95CancelPointer(const std::optional<QRectF>& selectedIcon,
                                      const std::optional<QRectF>& closeButton, QSizeF window, double progress) {
    Win95CancelPointer out;
    out.progress = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    out.start = win95PointerStart(selectedIcon, window);
    out.end = closeButton ? closeButton->center() : QPointF(window.width() - 15, 13);
    out.drawn = selectedIcon.has_value() || out.progress > 0.02;
    return out;
}

namespace {

// Where the parts of the window's content go.
struct Win95Origins {
    QPointF favourites, recents, scroll, status;
};

// The title bar's glyph, text and height, and its least width: glyph, title, the least gap and
// three buttons, all 6 apart.
struct Win95Title {
    QSizeF glyph;
    double textW = 0, textH = 0, barH = 0, barMinW = 0;
};

Win95Title measureTitle(const OverlayFonts& fonts) {
    Win95Title t;
    t.glyph = symbolSize(Symbol::rectangle2Swap, titleGlyphPoints);
    t.textW = std::ceil(fonts.metrics(titlePoints, QFont::Bold).horizontalAdvance(QStringLiteral("Switcher")));
    t.textH = fonts.lineHeight(titlePoints, QFont::Bold);
    const double barInnerH = std::max({t.glyph.height(), t.textH, M::buttonHeight});
    t.barH = barInnerH + 2 * M::titleVertical;
    t.barMinW = std::ceil(M::titleLeading + t.glyph.width() + M::titleSpacing + t.textW + M::titleSpacing +
                          M::titleMinGap + 3 * (M::titleSpacing + M::buttonWidth) + M::titleTrailing);
    return t;
}

void clearWindows95(Windows95Layout& L) {
    L.size = QSizeF(0, 0);
    L.window = QRectF();
    L.favourites.cellList.clear();
    L.recents.cellList.clear();
    L.scroll = Win95ScrollBar{};
    L.caption.present = false;
    L.selectedIcon.reset();
    L.pointer = Win95CancelPointer{};
}

// Top-aligned; each arrow keeps its slot whether shown or not.
void layoutRecents(Windows95Layout& L, const HUDModel& m, const OverlayFonts& fonts, bool favFocus) {
    PartRow& row = L.recents;
    layoutCells(row, m.visible(), !favFocus, M::recentsCell(m.labelStyle()), m.selected(), m, fonts, cellMetrics);
    const QSizeF arrow = symbolSize(Symbol::arrowtriangleLeftFill, arrowPoints);
    offsetCells(row, QPointF(M::arrowSlot + M::cellSpacing, 0));
    L.left.slot = QRectF(0, 0, M::arrowSlot, arrow.height());
    L.right.slot = QRectF(row.cells.right() + M::cellSpacing, 0, M::arrowSlot, arrow.height());
    for (Win95Arrow* a : {&L.left, &L.right})
        a->glyph = QRectF(a->slot.center().x() - arrow.width() / 2, 0, arrow.width(), arrow.height());
    L.left.opacity = !favFocus && m.moreBefore() ? 1 : 0;
    L.right.opacity = !favFocus && m.moreAfter() ? 1 : 0;
    row.frame = QRectF(0, 0, L.right.slot.right(), std::max(arrow.height(), row.cells.height()));
    row.glyphSlot = row.glyph = QRectF();
}

// The caption in a sunken field, with margins round its lines.
void layoutStatus(PartCaption& st, const HUDModel& m, const OverlayFonts& fonts) {
    layoutCaption(st, m, fonts, statusMetrics);
    if (!st.present) return;
    st.title.translate(M::statusMarginX, M::statusMarginY);
    if (st.hasSubtitle) st.subtitle.translate(M::statusMarginX, M::statusMarginY);
    st.frame = QRectF(0, 0, M::statusWidth + 2 * M::statusMarginX,
                      (st.hasSubtitle ? st.subtitle.bottom() : st.title.bottom()) + M::statusMarginY);
}

// The title bar spans the window; the buttons sit at its trailing end.
void layoutTitleBar(Windows95Layout& L, const Win95Title& title, double width, const HUDModel& m) {
    L.titleBar = QRectF(M::titleInset, M::titleInset, width - 2 * M::titleInset, title.barH);
    const double midY = L.titleBar.center().y();
    L.titleGlyph = QRectF(L.titleBar.left() + M::titleLeading, midY - title.glyph.height() / 2, title.glyph.width(),
                          title.glyph.height());
    L.titleText =
        QRectF(L.titleGlyph.right() + M::titleSpacing, std::round(midY - title.textH / 2), title.textW, title.textH);
    const Symbol symbols[3] = {Symbol::minus, Symbol::square, Symbol::xmark};
    double x = L.titleBar.right() - M::titleTrailing;
    for (int i = 2; i >= 0; --i) {
        x -= M::buttonWidth;
        L.buttons[i] = {symbols[i], QRectF(x, std::round(midY - M::buttonHeight / 2), M::buttonWidth, M::buttonHeight),
                        false};
        x -= M::titleSpacing;
    }
    L.buttons[2].pressed = m.cancelProgress() > M::pressedThreshold;
    L.closeButton = L.buttons[2].frame;
}

// Moves the parts, laid out at the origin, to their places in the window.
void placeParts(Windows95Layout& L, const Win95Origins& at, const HUDModel& m, double rowW) {
    if (L.favourites.present) placeRow(L.favourites, at.favourites);
    placeRow(L.recents, at.recents);
    for (Win95Arrow* a : {&L.left, &L.right}) {
        a->slot.translate(at.recents);
        a->glyph.translate(at.recents);
    }
    const Win95Thumb thumb =
        win95Thumb(m.recentsCount(), static_cast<int>(m.visible().size()), m.recentsAbsolute(), rowW);
    L.scroll.track = L.scroll.present ? QRectF(at.scroll, QSizeF(rowW, M::scrollHeight)) : QRectF();
    L.scroll.thumb = L.scroll.present
                         ? QRectF(at.scroll.x() + thumb.offset + 1,
                                  at.scroll.y() + (M::scrollHeight - M::thumbHeight) / 2, thumb.length, M::thumbHeight)
                         : QRectF();
    placeCaption(L.caption, at.status);
}

}  // namespace

void layoutWindows95(const HUDModel& m, const OverlayFonts& fonts, Windows95Layout& L) {
    const auto& visible = m.visible();
    L.empty = visible.empty() && m.favourites().empty();
    L.favourites.present = !m.favourites().empty();
    L.recents.present = !L.empty;
    if (L.empty) return clearWindows95(L);
    const bool favFocus = m.focus() == SwitcherRow::favourites;
    const Win95Title title = measureTitle(fonts);
    Win95Origins at;
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

    const double rowW = M::recentsRowWidth(m.labelStyle(), static_cast<int>(visible.size()));
    L.scroll.present = !favFocus && (m.moreBefore() || m.moreAfter());
    L.scroll.opacity = L.scroll.present ? 1 : 0;
    if (L.scroll.present) stack.add(QSizeF(rowW, M::scrollHeight), &at.scroll);

    layoutStatus(L.caption, m, fonts);
    if (L.caption.present) stack.add(L.caption.frame.size(), &at.status);

    const QSizeF inner = stack.inner(M::contentSpacing);
    const double contentW = inner.width() + 2 * M::contentMarginX;
    const double width = std::max(contentW, title.barMinW + 2 * M::titleInset);
    const double contentTop = title.barH + 2 * M::titleInset;
    L.size = QSizeF(width, contentTop + M::contentTop + inner.height() + M::contentBottom);
    L.window = QRectF(QPointF(0, 0), L.size);
    layoutTitleBar(L, title, width, m);

    const double left = std::floor((width - contentW) / 2) + M::contentMarginX;
    stack.place(left, contentTop + M::contentTop, inner.width(), M::contentSpacing);
    placeParts(L, at, m, rowW);

    const PartRow& focusedRow = favFocus ? L.favourites : L.recents;
    L.selectedIcon.reset();
    if (focusedRow.selection >= 0) L.selectedIcon = focusedRow.cellList[focusedRow.selection].box;
    L.pointer = win95CancelPointer(L.selectedIcon, L.closeButton, L.size, m.cancelProgress());
}

void blendWindows95(const Windows95Layout& a, const Windows95Layout& b, double t, Windows95Layout& out) {
    out = b;
    if (!sameShape(a, b)) return;
    out.size =
        QSizeF(blend::value(a.size.width(), b.size.width(), t), blend::value(a.size.height(), b.size.height(), t));
    out.window = QRectF(QPointF(0, 0), out.size);
    out.titleBar = blend::rect(a.titleBar, b.titleBar, t);
    for (std::size_t i = 0; i < out.buttons.size(); ++i)
        out.buttons[i].frame = blend::rect(a.buttons[i].frame, b.buttons[i].frame, t);
    out.closeButton = out.buttons[2].frame;
    blendRow(a.favourites, b.favourites, t, out.favourites);
    blendRow(a.recents, b.recents, t, out.recents);
    // The navy block changes at once: a fading label is drawn as the row it fades into has it.
    for (auto [rb, ro] : {std::pair{&b.favourites, &out.favourites}, std::pair{&b.recents, &out.recents}}) {
        for (std::size_t i = 0; i < ro->cellList.size(); ++i) ro->cellList[i].selected = rb->cellList[i].selected;
    }
    for (auto [aa, ab, ao] : {std::tuple{&a.left, &b.left, &out.left}, std::tuple{&a.right, &b.right, &out.right}}) {
        ao->slot = blend::rect(aa->slot, ab->slot, t);
        ao->glyph = blend::rect(aa->glyph, ab->glyph, t);
        ao->opacity = blend::opacity(aa->opacity, ab->opacity, t);
    }
    out.scroll.opacity = blend::opacity(a.scroll.opacity, b.scroll.opacity, t);
    out.scroll.present = a.scroll.present || b.scroll.present;
    if (a.scroll.present && b.scroll.present) {
        out.scroll.track = blend::rect(a.scroll.track, b.scroll.track, t);
        out.scroll.thumb = blend::rect(a.scroll.thumb, b.scroll.thumb, t);
    } else if (out.scroll.present) {
        // Fading in or out, it stays under the recents row as that row changes size.
        const Windows95Layout& own = b.scroll.present ? b : a;
        out.scroll.track = blend::under(own.scroll.track, own.recents.cells, out.recents.cells);
        out.scroll.thumb = blend::under(own.scroll.thumb, own.recents.cells, out.recents.cells);
    }
    blendCaption(a.caption, b.caption, t, out.caption);
}

}  // namespace trellick
