#include "overlay/OverlayFonts.h"

#include <QFontDatabase>
#include <cmath>

namespace trellick {

OverlayFonts::OverlayFonts() : OverlayFonts(QFontDatabase::systemFont(QFontDatabase::GeneralFont)) {}

OverlayFonts::OverlayFonts(const QFont& base) : base_(base) {}

const OverlayFonts::Entry& OverlayFonts::entry(int points, QFont::Weight weight) const {
    for (const auto& e : entries_) {
        if (e.points == points && e.weight == weight) return e;
    }
    QFont f = base_;
    f.setPixelSize(points);
    f.setWeight(weight);
    f.setStyleStrategy(QFont::PreferAntialias);
    QFontMetricsF m(f);
    entries_.push_back(Entry{points, weight, f, m, std::ceil(m.height())});
    return entries_.back();
}

}  // namespace trellick
