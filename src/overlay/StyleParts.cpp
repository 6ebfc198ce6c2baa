#include "overlay/StyleParts.h"

#include <algorithm>
#include <cmath>

#include "overlay/LayoutBlend.h"
#include "overlay/OverlayFonts.h"

namespace trellick {

namespace {

bool hasText(const std::optional<std::string>& s) {
    return s && !s->empty();
}

void layoutLabel(PartCell& c, const SwitchTarget& target, const OverlayFonts& fonts, const CellMetrics& cm) {
    c.labelOpacity = c.selected ? 1 : cm.dimmedLabel;
    c.hasLabelSubtitle = false;
    c.labelTitle = c.labelSubtitle = QRectF();
    if (cm.labelTitlePoints == 0) {
        c.labelTitle = c.label;  // one line: the title fills the label
        return;
    }
    const double th = fonts.lineHeight(cm.labelTitlePoints, c.selected ? cm.selectedTitleWeight : QFont::Medium);
    c.labelTitle = QRectF(c.label.x(), c.label.y(), c.label.width(), th);
    c.hasLabelSubtitle = hasText(target.subtitle);
    if (c.hasLabelSubtitle)
        c.labelSubtitle = QRectF(c.label.x(), c.labelTitle.bottom() + cm.labelLineSpacing, c.label.width(),
                                 fonts.lineHeight(cm.labelSubtitlePoints, QFont::Normal));
}

}  // namespace

void layoutCells(PartRow& row, const std::vector<SwitchTarget>& list, bool focused, double focusedCellWidth,
                 int selection, const HUDModel& m, const OverlayFonts& fonts, const CellMetrics& cm) {
    const bool labels = focused && m.labelStyle() == HUDLabelStyle::perIcon;
    const double cellW = focused || !m.compactPeek() ? focusedCellWidth : cm.compactPeekCell;
    const double box = focused ? cm.iconBoxFull : cm.iconBoxPeek;
    const double labelW = focusedCellWidth - cm.labelInset;
    const double innerW = std::max(box, labels ? labelW : 0.0);
    const double innerH = box + (labels ? cm.labelSpacing + cm.labelAreaH : 0);
    const double blockW = innerW + 2 * cm.cellPadding, blockH = innerH + 2 * cm.cellPadding;
    const int k = static_cast<int>(list.size());
    row.focused = focused;
    row.cellWidth = cellW;
    row.selection = focused && selection >= 0 && selection < k ? selection : -1;
    row.cellList.resize(list.size());
    for (int i = 0; i < k; ++i) {
        PartCell& c = row.cellList[i];
        const bool sel = i == row.selection;
        const bool ph = list[i].isPlaceholder;
        const double side = focused ? cm.fullIcon : cm.peekIcon * (ph ? cm.placeholderPeekScale : 1);
        c.selected = sel;
        c.placeholder = ph;
        c.frame = QRectF(i * (cellW + cm.cellSpacing), 0, cellW, blockH);
        c.block = QRectF(c.frame.x() + std::floor((cellW - blockW) / 2), 0, blockW, blockH);
        const double innerX = c.block.x() + cm.cellPadding;
        c.box = QRectF(innerX + std::floor((innerW - box) / 2), cm.cellPadding, box, box);
        c.icon = QRectF(c.box.x() + (box - side) / 2, c.box.y() + (box - side) / 2, side, side);
        c.iconScale = sel ? cm.selectedIconScale : 1;
        c.shadowOpacity = sel ? cm.selectedShadow : 0;
        c.tileOpacity = sel ? 1 : 0;
        c.iconOpacity = ph ? 1 : focused ? (sel ? 1 : cm.dimmedIcon) : 0.5;
        if (labels) {
            c.label = QRectF(innerX + std::floor((innerW - labelW) / 2), c.box.bottom() + cm.labelSpacing, labelW,
                             cm.labelAreaH);
            layoutLabel(c, list[i], fonts, cm);
        } else {
            c.label = c.labelTitle = c.labelSubtitle = QRectF();
            c.hasLabelSubtitle = false;
            c.labelOpacity = 0;
        }
    }
    row.cells = QRectF(0, 0, k > 0 ? cellW * k + cm.cellSpacing * (k - 1) : 0, k > 0 ? blockH : 0);
}

void offsetCells(PartRow& row, QPointF by) {
    row.cells.translate(by);
    for (auto& c : row.cellList) {
        for (QRectF* r : {&c.frame, &c.block, &c.box, &c.icon, &c.label, &c.labelTitle, &c.labelSubtitle})
            if (!r->isNull()) r->translate(by);
    }
}

void placeRow(PartRow& row, QPointF by) {
    row.frame.translate(by);
    if (!row.glyphSlot.isNull()) row.glyphSlot.translate(by);
    if (!row.glyph.isNull()) row.glyph.translate(by);
    offsetCells(row, by);
}

void layoutFavourites(PartRow& row, const HUDModel& m, const OverlayFonts& fonts, bool favFocus,
                      const CellMetrics& cm) {
    layoutCells(row, m.favourites(), favFocus, cm.favCell, m.favSelected(), m, fonts, cm);
    const double box = favFocus ? cm.iconBoxFull : cm.iconBoxPeek;
    const double slotW = favFocus ? cm.glyphSlotFull : cm.glyphSlotPeek;
    const double glyphSide = favFocus ? cm.glyphSideFull : cm.glyphSidePeek;
    // Top-aligned: the glyph's frame is as tall as an icon box.
    row.glyphSlot = QRectF(0, 0, slotW, box);
    row.glyph = QRectF((slotW - glyphSide) / 2, (box - glyphSide) / 2, glyphSide, glyphSide);
    offsetCells(row, QPointF(slotW + cm.glyphSpacing, 0));
    row.frame = QRectF(0, 0, slotW + cm.glyphSpacing + row.cells.width(), std::max(box, row.cells.height()));
}

void layoutCaption(PartCaption& cap, const HUDModel& m, const OverlayFonts& fonts, const CaptionMetrics& cm) {
    cap.present = m.labelStyle() == HUDLabelStyle::caption;
    if (!cap.present) return;
    const SwitchTarget* focused = focusedTarget(m);
    cap.row = m.focus();
    cap.index = focused ? (m.focus() == SwitcherRow::favourites ? m.favSelected() : m.selected()) : -1;
    cap.hasSubtitle = focused && hasText(focused->subtitle);
    const double th = fonts.lineHeight(cm.titlePoints, cm.titleWeight);
    const double sh = fonts.lineHeight(cm.subtitlePoints, QFont::Normal);
    cap.title = QRectF(0, 0, cm.width, th);
    cap.subtitle = cap.hasSubtitle ? QRectF(0, th + cm.lineSpacing, cm.width, sh) : QRectF();
    cap.frame = QRectF(0, 0, cm.width, cap.hasSubtitle ? cap.subtitle.bottom() : th);
}

void placeCaption(PartCaption& cap, QPointF by) {
    if (!cap.present) return;
    cap.frame.translate(by);
    cap.title.translate(by);
    if (cap.hasSubtitle) cap.subtitle.translate(by);
}

void blendRow(const PartRow& ra, const PartRow& rb, double t, PartRow& ro) {
    ro.frame = blend::rect(ra.frame, rb.frame, t);
    ro.cells = blend::rect(ra.cells, rb.cells, t);
    ro.glyphSlot = blend::rect(ra.glyphSlot, rb.glyphSlot, t);
    ro.glyph = blend::rect(ra.glyph, rb.glyph, t);
    for (std::size_t i = 0; i < ro.cellList.size(); ++i) {
        const PartCell &ca = ra.cellList[i], &cb = rb.cellList[i];
        PartCell& co = ro.cellList[i];
        if (cb.label.isNull() && !ca.label.isNull()) co = ca;
        co.frame = blend::rect(ca.frame, cb.frame, t);
        co.block = blend::rect(ca.block, cb.block, t);
        co.box = blend::rect(ca.box, cb.box, t);
        co.icon = blend::rect(ca.icon, cb.icon, t);
        co.iconScale = blend::value(ca.iconScale, cb.iconScale, t);
        co.iconOpacity = blend::opacity(ca.iconOpacity, cb.iconOpacity, t);
        co.shadowOpacity = blend::opacity(ca.shadowOpacity, cb.shadowOpacity, t);
        co.tileOpacity = blend::opacity(ca.tileOpacity, cb.tileOpacity, t);
        co.labelOpacity = blend::opacity(ca.label.isNull() ? 0 : ca.labelOpacity, cb.labelOpacity, t);
    }
}

void blendCaption(const PartCaption& a, const PartCaption& b, double t, PartCaption& out) {
    out.frame = blend::rect(a.frame, b.frame, t);
    const QPointF shift = out.frame.topLeft() - b.frame.topLeft();
    out.title.translate(shift);
    if (out.hasSubtitle) out.subtitle.translate(shift);
}

}  // namespace trellick
