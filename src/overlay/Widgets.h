#pragma once
// Two small views shared by the modern and classic styles: CancelRing, a progress ring with a
// cross that shows how far a cancelling downward swipe has gone, and ScrollTrack, a thin
// indicator of where the visible window lies in the whole recency list. Both are pure
// functions of their fields: geometry here, painting below.

#include <QBrush>
#include <QColor>
#include <QRectF>

class QPainter;

namespace trellick {

struct ScrollTrack {
    int count = 0;     // length of the whole recency list
    int visible = 0;   // entries in the drawn window
    int absolute = 0;  // cursor index in the whole list
    double width = 0;
    QColor tint;
    double height = 3;
    double minThumb = 24;

    struct Thumb {
        double length;
        double offset;  // from the track's leading edge
    };
    // Follows the cursor over the whole list: the first entry puts the thumb at the leading
    // end, the last at the trailing end.
    Thumb thumb() const;
    static constexpr double thumbOpacity = 0.35;
};

// A capsule of `thumb` in the track whose top-left is `origin`, filled with `brush` (the tint at
// thumbOpacity); no track is drawn behind it.
void paintScrollThumb(QPainter& p, QPointF origin, double height, ScrollTrack::Thumb thumb, const QBrush& brush);

struct CancelRing {
    double progress = 0;  // nominally 0 to 1

    static constexpr double side = 22;
    static constexpr double lineWidth = 3;
    static constexpr double trackOpacity = 0.15;
    static constexpr double symbolPoints = 9;
    // The progress drawn: limited to 0..1, 0 for a value that is not a number.
    double shownProgress() const;
};

// The ring in a `side` x `side` frame: a faint full circle in `primary`, the arc from the top
// clockwise in `accent`, and a cross in `accent`.
void paintCancelRing(QPainter& p, const QRectF& frame, double progress, const QColor& primary, const QColor& accent);

}  // namespace trellick
