#pragma once
// The standard widgets dressed to sit with the project's own in light and dark windows: push
// buttons with room round their text, and thin overlay-style scroll bars (a rounded handle in
// the text colour, no arrows, no trough) over any palette.

#include <QProxyStyle>

namespace trellick::ui {

class ShellStyle : public QProxyStyle {
public:
    ShellStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

// Makes the style above the application's, over the desktop's own.
void useShellStyle();

}  // namespace trellick::ui
