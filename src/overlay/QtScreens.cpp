#include "overlay/QtScreens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace trellick {

QPointF QtScreens::pointer() const {
    return QCursor::pos();
}

std::vector<QRectF> QtScreens::screens() const {
    std::vector<QRectF> out;
    for (QScreen* s : QGuiApplication::screens()) out.push_back(s->geometry());
    return out;
}

std::optional<QRectF> QtScreens::primary() const {
    if (QScreen* s = QGuiApplication::primaryScreen()) return QRectF(s->geometry());
    return std::nullopt;
}

}  // namespace trellick
