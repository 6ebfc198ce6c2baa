#pragma once
// The parts of an overlay card stacked top to bottom, each centred across the stack on whole
// pixels. A style adds its parts' sizes, sizes its card around inner(), then place() tells each
// part where it goes.

#include <QPointF>
#include <QSizeF>
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

namespace trellick {

class PartStack {
public:
    static constexpr int maxParts = 5;

    // `origin` receives the part's place when place() runs.
    void add(QSizeF size, QPointF* origin) {
        assert(count_ < maxParts);
        parts_[count_++] = {size, origin};
    }

    // The widest part's width, and the height of all the parts with `spacing` between each two.
    QSizeF inner(double spacing) const {
        double width = 0, height = spacing * (count_ - 1);
        for (int i = 0; i < count_; ++i) {
            width = std::max(width, parts_[i].size.width());
            height += parts_[i].size.height();
        }
        return {width, height};
    }

    // Gives each part its origin: centred in `width` from `left`, downwards from `top`.
    void place(double left, double top, double width, double spacing) const {
        double y = top;
        for (int i = 0; i < count_; ++i) {
            *parts_[i].origin = QPointF(left + std::floor((width - parts_[i].size.width()) / 2), y);
            y += parts_[i].size.height() + spacing;
        }
    }

private:
    struct Part {
        QSizeF size;
        QPointF* origin = nullptr;
    };
    std::array<Part, maxParts> parts_{};
    int count_ = 0;
};

}  // namespace trellick
