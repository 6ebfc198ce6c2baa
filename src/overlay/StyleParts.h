#pragma once
// The parts every overlay style lays out alike: rows of cells (an icon, and under the focused
// row a per-icon label), the favourites row's pin glyph and the caption naming the focused
// entry. A style gives their sizes in a CellMetrics and a CaptionMetrics and adds its own
// parts around them (chevrons, ellipses or arrows, the plate, the title bar).

#include <QFont>
#include <QRectF>
#include <vector>

#include "overlay/HUDModel.h"

namespace trellick {

class OverlayFonts;

struct PartCell {
    QRectF frame;  // the cell, its width the row's cell width
    QRectF block;  // the icon and label with their padding (the retro style's navy block)
    QRectF box;    // the square that holds the icon
    QRectF icon;   // the icon at rest, before the selection's scale
    double iconScale = 1;
    double iconOpacity = 1;
    double shadowOpacity = 0;  // the selected icon's drop shadow
    double tileOpacity = 0;    // the tile under the selected icon
    bool selected = false;
    bool placeholder = false;
    QRectF label;  // the per-icon label area; null when there is none
    QRectF labelTitle, labelSubtitle;
    bool hasLabelSubtitle = false;
    double labelOpacity = 0;
};

struct PartRow {
    bool present = false;
    bool focused = false;
    QRectF frame;
    QRectF cells;  // the cells together
    double cellWidth = 0;
    std::vector<PartCell> cellList;
    int selection = -1;  // the cell under the cursor when the row has the focus, else -1
    QRectF glyphSlot;    // "pin.fill" (favourites row only)
    QRectF glyph;
};

struct PartCaption {
    bool present = false;
    QRectF frame;
    QRectF title, subtitle;
    bool hasSubtitle = false;
    SwitcherRow row = SwitcherRow::recents;  // the focused entry, if any
    int index = -1;                          // in `visible` or `favourites`; -1: none
};

// How a style sizes a row's cells and the favourites row's glyph.
struct CellMetrics {
    double fullIcon, peekIcon;        // the icon's side in the focused row and in the other
    double iconBoxFull, iconBoxPeek;  // the square around it
    double compactPeekCell;           // the other row's cell with compact spacing
    double favCell;                   // a favourite's cell in the focused row
    double cellSpacing;
    double cellPadding;  // around a cell's icon and label
    double labelInset;   // the cell's width less its label's
    double labelSpacing, labelAreaH;
    int labelTitlePoints, labelSubtitlePoints;  // 0: the label is one line, not split
    QFont::Weight selectedTitleWeight;
    double labelLineSpacing;
    double placeholderPeekScale;
    double dimmedIcon;         // the opacity of the focused row's other icons
    double dimmedLabel;        // and of their labels
    double selectedIconScale;  // the selected icon grows by this
    double selectedShadow;     // the opacity of the selected icon's shadow
    double glyphSlotFull, glyphSlotPeek, glyphSideFull, glyphSidePeek, glyphSpacing;
};

struct CaptionMetrics {
    int titlePoints, subtitlePoints;
    QFont::Weight titleWeight;
    double lineSpacing;
    double width;
};

// Lays a row of cells out at the origin: `focusedCellWidth` when the row has the focus or
// spacing is not compact.
void layoutCells(PartRow& row, const std::vector<SwitchTarget>& list, bool focused, double focusedCellWidth,
                 int selection, const HUDModel& m, const OverlayFonts& fonts, const CellMetrics& cm);
// Moves the cells by `by`.
void offsetCells(PartRow& row, QPointF by);
// Moves a whole row, laid out at its own origin, to its place in the card.
void placeRow(PartRow& row, QPointF by);
// The favourites row at the origin: the pin glyph, top-aligned in its slot, then the cells.
void layoutFavourites(PartRow& row, const HUDModel& m, const OverlayFonts& fonts, bool favFocus, const CellMetrics& cm);

// The caption at the origin: a title line, and a subtitle line when the entry has one.
void layoutCaption(PartCaption& cap, const HUDModel& m, const OverlayFonts& fonts, const CaptionMetrics& cm);
void placeCaption(PartCaption& cap, QPointF by);

// Blends the rows of two layouts of the same shape; `ro` starts as a copy of `rb`. The labels
// of the row losing the focus fade out where they were.
void blendRow(const PartRow& ra, const PartRow& rb, double t, PartRow& ro);
// Moves `out`'s caption (a copy of `b`'s) to its blended place.
void blendCaption(const PartCaption& a, const PartCaption& b, double t, PartCaption& out);

// Whether two layouts blend into each other: both show something, with the same rows, cells
// and caption.
template <class Layout>
bool sameShape(const Layout& a, const Layout& b) {
    return !a.empty && !b.empty && a.favourites.present == b.favourites.present &&
           a.favourites.cellList.size() == b.favourites.cellList.size() &&
           a.recents.cellList.size() == b.recents.cellList.size() && a.caption.present == b.caption.present;
}

}  // namespace trellick
