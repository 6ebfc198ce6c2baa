#pragma once
// The overlay's fonts: the desktop's UI font at pixel sizes equal to the point sizes the
// styles give (sizes are logical pixels on Linux), in the weights they give. Metrics are
// taken once per size and weight. Needs a QGuiApplication. Main thread only.

#include <QFont>
#include <QFontMetricsF>
#include <deque>

namespace trellick {

class OverlayFonts {
public:
    // The system UI font (QFontDatabase::GeneralFont).
    OverlayFonts();
    explicit OverlayFonts(const QFont& base);

    const QFont& font(int points, QFont::Weight weight) const { return entry(points, weight).font; }
    const QFontMetricsF& metrics(int points, QFont::Weight weight) const { return entry(points, weight).metrics; }
    // One line of text in that font, rounded up to whole pixels so rows stay on the pixel grid.
    double lineHeight(int points, QFont::Weight weight) const { return entry(points, weight).lineHeight; }

private:
    struct Entry {
        int points;
        QFont::Weight weight;
        QFont font;
        QFontMetricsF metrics;
        double lineHeight;
    };
    const Entry& entry(int points, QFont::Weight weight) const;

    QFont base_;
    mutable std::deque<Entry> entries_;  // stable references as it grows
};

}  // namespace trellick
