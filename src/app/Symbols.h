#pragma once
// The symbols the windows use, drawn by the project as vector paths so that no icon theme is
// needed. Each is one filled path in a 20 × 20 box; cut-outs are holes in it.

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QRectF>

class QPainter;

namespace trellick::ui {

enum class Symbol {
    gearshapeFill,
    handDrawFill,
    rectangleStackFill,
    starFill,
    waveformPathEcg,
    chevronUp,
    chevronDown,
    minusCircleFill,
    plus,
    plusCircleFill,
    appDashed,
    folder,
    infoCircleFill,
    lockShield,
    checkmarkCircleFill,
    exclamationmarkCircle,
    power,
    docOnDoc,
};

// The symbol's outline in a 20 × 20 box.
QPainterPath symbolPath(Symbol symbol);
// Fills the symbol into `box` (kept square and centred) in `colour`.
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& colour);
// The symbol as an icon of `size` logical pixels, crisp on high-density screens.
QIcon symbolIcon(Symbol symbol, const QColor& colour, int size = 16);

}  // namespace trellick::ui
