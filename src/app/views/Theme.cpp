#include "app/views/Theme.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QPointer>
#include <QWidget>

namespace trellick::ui {

namespace {

bool isDark(const QPalette& p) {
    return p.color(QPalette::Window).lightness() < 128;
}

QPalette ownPalette(ColorScheme scheme) {
    const bool dark = scheme == ColorScheme::dark;
    const QColor window = dark ? QColor(0x26, 0x26, 0x28) : QColor(0xf4, 0xf4, 0xf5);
    const QColor base = dark ? QColor(0x1d, 0x1d, 0x1f) : QColor(0xff, 0xff, 0xff);
    const QColor text = dark ? QColor(0xf2, 0xf2, 0xf4) : QColor(0x1d, 0x1d, 0x1f);
    const QColor button = dark ? QColor(0x3a, 0x3a, 0x3d) : QColor(0xfb, 0xfb, 0xfc);
    QPalette p(button, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, dark ? QColor(0x2c, 0x2c, 0x2f) : QColor(0xf7, 0xf7, 0xf8));
    p.setColor(QPalette::ToolTipBase, dark ? QColor(0x3a, 0x3a, 0x3d) : QColor(0xff, 0xff, 0xf0));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, dark ? QColor(0x4a, 0x4a, 0x4e) : QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::Midlight, dark ? QColor(0x40, 0x40, 0x44) : QColor(0xe8, 0xe8, 0xea));
    p.setColor(QPalette::Mid, dark ? QColor(0x30, 0x30, 0x33) : QColor(0xc8, 0xc8, 0xcc));
    p.setColor(QPalette::Dark, dark ? QColor(0x18, 0x18, 0x1a) : QColor(0xa0, 0xa0, 0xa6));
    p.setColor(QPalette::Shadow, dark ? QColor(0x0c, 0x0c, 0x0e) : QColor(0x70, 0x70, 0x76));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        QColor c = text;
        c.setAlphaF(0.38);
        p.setColor(QPalette::Disabled, role, c);
    }
    return p;
}

}  // namespace

QPalette paletteFor(const Appearance& appearance, const QPalette& desktop) {
    const bool wantDark = appearance.scheme == ColorScheme::dark;
    QPalette p = isDark(desktop) == wantDark ? desktop : ownPalette(appearance.scheme);
    QColor accentColour = appearance.accent.isValid() ? appearance.accent : p.color(QPalette::Highlight);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, accentColour);
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::Link, wantDark ? accentColour.lighter(130) : accentColour);
    }
    // Secondary text, as the design's descriptions use it.
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QColor c = p.color(group, QPalette::WindowText);
        c.setAlphaF(group == QPalette::Disabled ? 0.3 : 0.6);
        p.setColor(group, QPalette::PlaceholderText, c);
    }
    return p;
}

Subscription followAppearance(QWidget* root, const std::shared_ptr<AppearanceSource>& source) {
    if (!source) return {};
    QPointer<QWidget> target = root;
    const QPalette desktop = QApplication::palette();
    return source->subscribe([target, desktop](const Appearance& a) {
        if (target) target->setPalette(paletteFor(a, desktop));
    });
}

QColor primary(const QPalette& palette, qreal alpha) {
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(static_cast<float>(c.alphaF() * alpha));
    return c;
}

QColor secondaryText(const QPalette& palette) {
    return palette.color(QPalette::PlaceholderText);
}

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor statusGreen() {
    return QColor(0x30, 0xc1, 0x5a);
}

QColor statusOrange() {
    return QColor(0xff, 0x95, 0x00);
}

QFont pixelFont(const QFont& base, int pixelSize, QFont::Weight weight) {
    QFont f = base;
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QFont emojiFont(int pixelSize) {
    QFont f;
    f.setFamilies({"Noto Color Emoji", "Twemoji", "Apple Color Emoji", "Segoe UI Emoji"});
    f.setPixelSize(pixelSize);
    return f;
}

QFont monoFont(int pixelSize) {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(pixelSize);
    return f;
}

QIcon iconFor(const std::optional<IconHandle>& handle) {
    if (!handle) return {};
    if (handle->data) {
        // A window system hands window icons over as images.
        const auto* image = static_cast<const QImage*>(handle->data.get());
        if (!image->isNull()) return QIcon(QPixmap::fromImage(*image));
    }
    if (handle->name.empty()) return {};
    const QString name = QString::fromStdString(handle->name);
    if (QFileInfo(name).isAbsolute()) return QFileInfo::exists(name) ? QIcon(name) : QIcon();
    QIcon themed = QIcon::fromTheme(name);
    return themed.isNull() ? QIcon() : themed;
}

}  // namespace trellick::ui
