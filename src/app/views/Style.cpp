#include "app/views/Style.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>
#include <algorithm>

#include "app/views/Theme.h"

namespace trellick::ui {

namespace {

constexpr int kScrollBarWidth = 10;
constexpr int kHandleInset = 2;
constexpr int kHandleMinimum = 32;
constexpr int kButtonPaddingX = 12, kButtonMinHeight = 30;

}  // namespace

ShellStyle::ShellStyle() = default;

int ShellStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
    case PM_ScrollBarExtent:
        return kScrollBarWidth;
    case PM_ScrollBarSliderMin:
        return kHandleMinimum;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize ShellStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const {
    QSize s = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_PushButton) {
        // Styles leave a few pixels beside the text; the project's own buttons have a dozen.
        s.setWidth(std::max(s.width(), size.width() + 2 * kButtonPaddingX));
        s.setHeight(std::max(s.height(), kButtonMinHeight));
    }
    return s;
}

QRect ShellStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                 const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar) return QProxyStyle::subControlRect(control, option, sub, widget);
    // The whole bar is the trough: no arrows at the ends.
    const QRect all = bar->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? all.width() : all.height();
    const int range = bar->maximum - bar->minimum;
    int handle =
        range > 0 ? static_cast<int>(static_cast<qint64>(length) * bar->pageStep / (range + bar->pageStep)) : length;
    handle = std::clamp(handle, std::min(length, kHandleMinimum), length);
    const int start =
        sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition, length - handle, bar->upsideDown);
    auto span = [&](int from, int to) {
        return horizontal ? QRect(all.left() + from, all.top(), to - from, all.height())
                          : QRect(all.left(), all.top() + from, all.width(), to - from);
    };
    switch (sub) {
    case SC_ScrollBarGroove:
        return all;
    case SC_ScrollBarSlider:
        return span(start, start + handle);
    case SC_ScrollBarSubPage:
        return span(0, start);
    case SC_ScrollBarAddPage:
        return span(start + handle, length);
    default:
        return {};  // the arrows and the ends
    }
}

void ShellStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar) return QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (bar->maximum <= bar->minimum) return;
    // A rounded handle in the text colour, stronger under the pointer or while dragged.
    const bool active = (bar->activeSubControls & SC_ScrollBarSlider) || (bar->state & State_Sunken);
    const QRectF handle = QRectF(subControlRect(control, option, SC_ScrollBarSlider, widget))
                              .adjusted(kHandleInset, kHandleInset, -kHandleInset, -kHandleInset);
    const double radius = std::min(handle.width(), handle.height()) / 2;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(primary(bar->palette, active ? 0.5 : 0.3));
    painter->drawRoundedRect(handle, radius, radius);
    painter->restore();
}

int ShellStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    // A click in the trough jumps there, as overlay scroll bars do.
    if (hint == SH_ScrollBar_LeftClickAbsolutePosition) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void useShellStyle() {
    QApplication::setStyle(new ShellStyle);
}

}  // namespace trellick::ui
