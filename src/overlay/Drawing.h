#pragma once
// Drawing helpers shared by the styles' painters: shapes with continuous corners, soft
// shadows and glows (blurred once, then reused), colour with opacity.

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <vector>

class QPainter;
class QStaticText;

namespace trellick {

// A rounded rectangle whose corners ease into the straight edges (no visible kink where the
// arc meets the side), as desktop cards and app tiles are drawn.
QPainterPath continuousRoundedRect(const QRectF& rect, double radius);

QColor withAlpha(QColor c, double alpha);

// A transparent image of `size` logical pixels at `dpr`, for a layer drawn once and reused.
QImage layerImage(QSizeF size, double dpr);
// Whether `image` is such a layer of `size` at `dpr`.
bool layerFits(const QImage& image, QSizeF size, double dpr);
// Draws prepared text centred across `frame`, its top on the frame's top, on a whole pixel.
void drawStaticTextCentred(QPainter& p, const QRectF& frame, const QStaticText& text);

// Blurs an Alpha8 image in place with three box passes each way (close to a Gaussian of
// standard deviation `sigma`, in the image's pixels).
void blurAlpha(QImage& alpha, double sigma);

// Soft shadows as the toolkits draw them: `blurRadius` in logical pixels (a Gaussian of
// half that deviation), `colour` carrying the shadow's opacity.
class ShadowCache {
public:
    // The shadow of a continuous rounded rectangle, `offset` from it. Any size is drawn
    // from nine pieces of one blurred image, so a card that changes size blurs nothing new.
    void drawRoundedRect(QPainter& p, const QRectF& rect, double radius, double blurRadius, const QColor& colour,
                         QPointF offset = {}, double dpr = 1);

private:
    struct Piece {
        double radius, blur, dpr;
        QRgb colour;
        QSizeF size;  // empty for the nine-piece template
        QImage image;
        double margin;  // logical pixels of blur around the shape
    };
    const Piece& piece(double radius, double blur, const QColor& colour, QSizeF size, double dpr);
    std::vector<Piece> pieces_;
};

}  // namespace trellick
