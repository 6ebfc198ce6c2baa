#pragma once
// The symbols Trellick draws, as the project's own vector paths: no icon theme is needed and
// they stay sharp at any scale. Named as the designs name them ("pin.fill", "gearshape.fill").
// Two kinds share the list: the overlay's glyphs, set like text in a font size and a weight
// (symbolSize, drawSymbol), and the windows' symbols, square, filling a box (paintSymbol,
// symbolIcon).

#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QRectF>
#include <optional>
#include <string_view>

class QPainter;

namespace trellick {

enum class Symbol {
    pinFill,
    chevronCompactLeft,
    chevronCompactRight,
    xmark,
    rectangle2Swap,
    minus,
    square,
    arrowtriangleLeftFill,
    arrowtriangleRightFill,
    plusCircleFill,
    // The windows' symbols, each one filled path in a 20 x 20 box; cut-outs are holes in it.
    gearshapeFill,
    handDrawFill,
    rectangleStackFill,
    starFill,
    waveformPathEcg,
    chevronUp,
    chevronDown,
    minusCircleFill,
    plus,
    plusCircleFillRound,  // plus.circle.fill as the windows draw it: round-capped bars, inset circle
    appDashed,
    folder,
    infoCircleFill,
    lockShield,
    checkmarkCircleFill,
    exclamationmarkCircle,
    power,
    docOnDoc,
};

// The weights a symbol is set in, as with text: strokes grow heavier with the weight.
enum class SymbolWeight { regular, medium, semibold, bold, heavy, black };

// The symbol's glyph box when set in a font of `pointSize` (width from its proportions).
QSizeF symbolSize(Symbol s, double pointSize);

// The outline to fill: a glyph in a box 100 units high (and as wide as its proportions), a
// window symbol in its 20 x 20 box, which has one weight.
const QPainterPath& symbolPath(Symbol s, SymbolWeight weight = SymbolWeight::regular);

// Fills the symbol, scaled to fit `box` and centred in it.
void drawSymbol(QPainter& p, Symbol s, const QRectF& box, const QBrush& brush,
                SymbolWeight weight = SymbolWeight::regular);

// Fills the symbol into `box` (kept square and centred) in `colour`, anti-aliased.
void paintSymbol(QPainter& painter, Symbol s, const QRectF& box, const QColor& colour);
// The symbol as an icon of `size` logical pixels, crisp on high-density screens.
QIcon symbolIcon(Symbol s, const QColor& colour, int size = 16);

// The retro style's arrow pointer: a closed polygon in points, its tip at (0, 0), fitting a
// 12 x 20 frame.
QPainterPath retroPointerPath();

// A generic application icon for targets without an image of their own: a rounded tile
// with a window on it.
void drawGenericAppIcon(QPainter& p, const QRectF& box);

}  // namespace trellick
