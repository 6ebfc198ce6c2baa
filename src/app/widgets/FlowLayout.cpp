#include "app/widgets/FlowLayout.h"

#include <algorithm>
#include <limits>

namespace trellick::ui {

FlowLayout::FlowLayout(int spacing, int lineSpacing, QWidget* parent)
    : QLayout(parent), spacing_(spacing), lineSpacing_(lineSpacing) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

QSize FlowLayout::walk(double maxWidth, const QRect* place) const {
    double x = 0, widest = 0;
    int y = 0, rowHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;  // hidden widgets take no place
        const QSize ideal = item->sizeHint();
        if (x > 0 && x + ideal.width() > maxWidth) {
            widest = std::max(widest, x - spacing_);
            y += rowHeight + lineSpacing_;
            rowHeight = 0;
            x = 0;
        }
        if (place) item->setGeometry(QRect(QPoint(place->x() + static_cast<int>(x), place->y() + y), ideal));
        x += ideal.width() + spacing_;
        rowHeight = std::max(rowHeight, ideal.height());
    }
    const double content = std::max(0.0, std::max(widest, x - spacing_));
    return {static_cast<int>(content), y + rowHeight};
}

QSize FlowLayout::measure(std::optional<int> width) const {
    const QMargins m = contentsMargins();
    if (!width) return walk(std::numeric_limits<double>::max(), nullptr).grownBy(m);
    const int inner = *width - m.left() - m.right();
    return QSize(*width, walk(inner, nullptr).height() + m.top() + m.bottom());
}

int FlowLayout::heightForWidth(int width) const {
    return measure(width).height();
}

QSize FlowLayout::sizeHint() const {
    return measure(std::nullopt);
}

QSize FlowLayout::minimumSize() const {
    // Any width will do: the items wrap, and one wider than the line overflows it.
    const QMargins m = contentsMargins();
    return {m.left() + m.right(), m.top() + m.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    walk(inner.width(), &inner);
}

}  // namespace trellick::ui
