#pragma once
// The symbols the overlay styles draw, as the project's own vector paths: no icon theme is
// needed and they stay sharp at any scale. Named as the styles name them ("pin.fill",
// "chevron.compact.left", ...).

#include <QBrush>
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
};

// The weights a symbol is set in, as with text: strokes grow heavier with the weight.
enum class SymbolWeight { regular, medium, semibold, bold, heavy, black };

// The symbol's glyph box when set in a font of `pointSize` (width from its proportions).
QSizeF symbolSize(Symbol s, double pointSize);

// The outline to fill, in a box 100 units high (and as wide as the symbol's proportions).
const QPainterPath& symbolPath(Symbol s, SymbolWeight weight = SymbolWeight::regular);

// Fills the symbol, scaled to fit `box` and centred in it.
void drawSymbol(QPainter& p, Symbol s, const QRectF& box, const QBrush& brush,
                SymbolWeight weight = SymbolWeight::regular);

// The retro style's arrow pointer: a closed polygon in points, its tip at (0, 0), fitting a
// 12 x 20 frame.
QPainterPath retroPointerPath();

// A generic application icon for targets without an image of their own: a rounded tile
// with a window on it.
void drawGenericAppIcon(QPainter& p, const QRectF& box);

}  // namespace trellick
