#include "app/widgets/Widgets.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/views/Theme.h"
#include "platform/evdev/TouchpadAccessRule.h"
#include "settings/TouchpadAccess.h"

namespace trellick::ui {

QLabel* makeLabel(const QString& text, int pixelSize, QFont::Weight weight, bool secondary) {
    auto* label = new QLabel(text);
    label->setFont(pixelFont(label->font(), pixelSize, weight));
    if (secondary) label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* descriptionLabel(const QString& text) {
    QLabel* label = makeLabel(text, 13, QFont::Normal, true);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* sectionHeaderLabel(const QString& title) {
    QLabel* label = makeLabel(title.toUpper(), 12, QFont::DemiBold, true);
    QFont f = label->font();
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    label->setFont(f);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString emphasisToHtml(const QString& markup) {
    QString out;
    bool bold = false, italic = false;
    for (qsizetype i = 0; i < markup.size(); ++i) {
        if (markup[i] == '*') {
            if (i + 1 < markup.size() && markup[i + 1] == '*') {
                out += bold ? "</b>" : "<b>";
                bold = !bold;
                ++i;
            } else {
                out += italic ? "</i>" : "<i>";
                italic = !italic;
            }
            continue;
        }
        out += QString(markup[i]).toHtmlEscaped();
    }
    // Unbalanced markers are closed rather than left to swallow the rest of a window.
    if (italic) out += "</i>";
    if (bold) out += "</b>";
    return out;
}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    const QRect r = contentsRect();
    p.drawText(r, static_cast<int>(alignment()) | Qt::TextSingleLine,
               fontMetrics().elidedText(text(), Qt::ElideRight, r.width()));
}

namespace {

// A hairline in the primary colour at a low opacity: visible on light and dark windows alike,
// where the palette's Mid nearly matches a dark window.
class Divider : public QFrame {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), primary(palette(), 0.16));
    }
};

class SymbolIconFollower : public QObject {
public:
    SymbolIconFollower(QAbstractButton* button, Symbol symbol, int size)
        : QObject(button), symbol_(symbol), size_(size) {
        button->installEventFilter(this);
        apply(button);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange) apply(static_cast<QAbstractButton*>(watched));
        return false;
    }

private:
    void apply(QAbstractButton* button) {
        button->setIcon(symbolIcon(symbol_, button->palette().color(QPalette::ButtonText), size_));
    }
    Symbol symbol_;
    int size_;
};

}  // namespace

QFrame* makeDivider() {
    auto* line = new Divider;
    line->setFixedHeight(1);
    return line;
}

void setSymbolIcon(QAbstractButton* button, Symbol symbol, int size) {
    new SymbolIconFollower(button, symbol, size);
}

// ---------------------------------------------------------------------------------------------

CardFrame::CardFrame(QWidget* parent) : QFrame(parent), body_(new QVBoxLayout(this)) {
    body_->setContentsMargins(14, 14, 14, 14);
    body_->setSpacing(12);
}

void CardFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(primary(palette(), 0.08), 1));
    p.setBrush(primary(palette(), 0.04));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

SectionCard::SectionCard(const QString& title, QWidget* parent)
    : QWidget(parent), header_(sectionHeaderLabel(title)), card_(new CardFrame) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    header_->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(header_);
    layout->addWidget(card_);
}

void SectionCard::setTitle(const QString& title) {
    header_->setText(title.toUpper());
}

// ---------------------------------------------------------------------------------------------

ToggleSwitch::ToggleSwitch(QWidget* parent) : KeyboardFocus(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const {
    return {42, 24};
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.45);
    const QRectF track(1, (height() - 22) / 2.0, 40, 22);
    if (showsFocusRing()) {
        QColor ring = accent(palette());
        ring.setAlphaF(0.5);
        p.setPen(QPen(ring, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(track, 11, 11);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(isChecked() ? accent(palette()) : primary(palette(), 0.2));
    p.drawRoundedRect(track, 11, 11);
    const qreal knobX = isChecked() ? track.right() - 20 : track.left() + 2;
    const QRectF knob(knobX, track.top() + 2, 18, 18);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(knob.translated(0, 0.6));
    p.setBrush(Qt::white);
    p.drawEllipse(knob);
}

ToggleRow::ToggleRow(const QString& name, const QString& label, std::optional<Symbol> symbol, QWidget* parent)
    : QWidget(parent), toggle_(new ToggleSwitch) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    if (symbol) layout->addWidget(new SymbolView(*symbol, 16));
    QLabel* text = makeLabel(label, 13);
    layout->addWidget(text, 1);
    layout->addWidget(toggle_);
    toggle_->setObjectName(name);
    toggle_->setAccessibleName(label);
    text->setBuddy(toggle_);
}

void ToggleRow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && toggle_->isEnabled())
        toggle_->click();
}

// ---------------------------------------------------------------------------------------------

namespace {

class Segment : public KeyboardFocus<QAbstractButton> {
public:
    Segment(const QString& text, QWidget* parent) : KeyboardFocus(parent) {
        setText(text);
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        QFontMetrics fm(pixelFont(font(), 13, QFont::DemiBold));
        return {fm.horizontalAdvance(text()) + 28, 26};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
        if (isChecked()) {
            const bool dark = palette().color(QPalette::Window).lightness() < 128;
            p.setPen(QPen(primary(palette(), 0.12), 1));
            p.setBrush(dark ? primary(palette(), 0.2) : palette().color(QPalette::Base));
            p.drawRoundedRect(r, 6, 6);
        } else if (underMouse() && isEnabled()) {
            p.setPen(Qt::NoPen);
            p.setBrush(primary(palette(), 0.05));
            p.drawRoundedRect(r, 6, 6);
        }
        if (showsFocusRing()) {
            p.setPen(QPen(accent(palette()), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r, 6, 6);
        }
        p.setFont(pixelFont(font(), 13, isChecked() ? QFont::DemiBold : QFont::Normal));
        p.setPen(primary(palette(), isEnabled() ? 1.0 : 0.4));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }
};

}  // namespace

SegmentedControl::SegmentedControl(const QString& name, const QString& accessibleName, const QStringList& options,
                                   QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    setObjectName(name);
    setAccessibleName(accessibleName);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (int i = 0; i < options.size(); ++i) {
        auto* s = new Segment(options[i], this);
        s->setObjectName(name + "." + QString::number(i));
        group_->addButton(s, i);
        layout->addWidget(s);
    }
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::activated);
}

void SegmentedControl::setCurrentIndex(int index) {
    if (auto* b = group_->button(index)) b->setChecked(true);
}

QAbstractButton* SegmentedControl::segment(int index) const {
    return group_->button(index);
}

void SegmentedControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(primary(palette(), 0.1), 1));
    p.setBrush(primary(palette(), 0.06));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

// ---------------------------------------------------------------------------------------------

SymbolView::SymbolView(Symbol symbol, int size, QColor colour, QWidget* parent)
    : QWidget(parent), symbol_(symbol), colour_(colour) {
    setFixedSize(size, size);
}

void SymbolView::setSymbol(Symbol symbol, QColor colour) {
    symbol_ = symbol;
    colour_ = colour;
    update();
}

void SymbolView::setColourRole(QPalette::ColorRole role) {
    role_ = role;
    update();
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QColor c = colour_.isValid() ? colour_ : role_ ? palette().color(*role_) : primary(palette(), 0.85);
    paintSymbol(p, symbol_, rect(), c);
}

StatusDot::StatusDot(QWidget* parent) : QWidget(parent), colour_(statusOrange()) {
    setFixedSize(10, 10);
}

void StatusDot::setColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour_);
    p.drawEllipse(QRectF(rect()));
}

StatusPill::StatusPill(QWidget* parent) : QLabel(parent) {
    setContentsMargins(10, 5, 10, 5);
    setFont(pixelFont(font(), 12, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusPill::setActive(bool active) {
    active_ = active;
    update();
}

void StatusPill::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor tint = active_ ? statusGreen() : statusOrange();
        tint.setAlphaF(0.15);
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    }
    QLabel::paintEvent(event);
}

// ---------------------------------------------------------------------------------------------

namespace {

constexpr int kSliderSteps = 1000;

class WheelToPage : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* control = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Wheel || !control || control->hasFocus()) return false;
        for (QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
            if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
                QCoreApplication::sendEvent(area->viewport(), event);
                return true;
            }
        }
        return false;
    }
};

}  // namespace

void wheelScrollsPageUnlessFocused(QWidget* control) {
    control->installEventFilter(new WheelToPage(control));
}

SliderRow::SliderRow(Params params, QWidget* parent)
    : QWidget(parent), params_(std::move(params)), slider_(new QSlider(Qt::Horizontal)), value_(nullptr) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* header = new QHBoxLayout;
    header->addWidget(makeLabel(params_.name, 14, QFont::Medium), 1);
    value_ = new QLabel;
    value_->setFont(monoFont(13));
    value_->setForegroundRole(QPalette::PlaceholderText);
    value_->setObjectName(params_.key + ".value");
    header->addWidget(value_);
    layout->addLayout(header);

    slider_->setObjectName(params_.key);
    slider_->setAccessibleName(params_.name);
    slider_->setRange(0, kSliderSteps);
    slider_->setSingleStep(10);
    slider_->setPageStep(100);
    wheelScrollsPageUnlessFocused(slider_);
    layout->addWidget(slider_);
    if (!params_.lowEnd.isEmpty() || !params_.highEnd.isEmpty()) {
        auto* ends = new QHBoxLayout;
        ends->addWidget(makeLabel(params_.lowEnd, 11, QFont::Normal, true));
        ends->addStretch(1);
        ends->addWidget(makeLabel(params_.highEnd, 11, QFont::Normal, true));
        layout->addLayout(ends);
    }
    setToolTip(params_.tooltip);

    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        if (slider_->isSliderDown())
            value_->setText(params_.format(valueAt(position)));
        else
            emit edited(valueAt(position));
    });
    connect(slider_, &QSlider::sliderReleased, this, [this] { emit edited(valueAt(slider_->value())); });
}

double SliderRow::valueAt(int position) const {
    return params_.min + (params_.max - params_.min) * position / kSliderSteps;
}

void SliderRow::setValue(double value) {
    value_->setText(params_.format(value));
    double fraction = params_.max > params_.min ? (value - params_.min) / (params_.max - params_.min) : 0.0;
    if (!std::isfinite(fraction)) fraction = 0.0;
    const QSignalBlocker block(slider_);
    slider_->setValue(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kSliderSteps)));
}

// ---------------------------------------------------------------------------------------------

NoteBox::NoteBox(const QString& markup, QWidget* parent) : QFrame(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(10);
    auto* symbol = new SymbolView(Symbol::infoCircleFill, 16);
    symbol->setColourRole(QPalette::Highlight);
    layout->addWidget(symbol, 0, Qt::AlignTop);
    auto* text = makeLabel(QString(), 13);
    text->setTextFormat(Qt::RichText);
    text->setText(emphasisToHtml(markup));
    text->setWordWrap(true);
    text->setObjectName("note.text");
    layout->addWidget(text, 1);
}

void NoteBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = accent(palette()), border = accent(palette());
    fill.setAlphaF(0.08);
    border.setAlphaF(0.3);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

ManualGrantBox::ManualGrantBox(QWidget* parent) : QWidget(parent) {
    setObjectName("manualGrant");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    QLabel* why = makeLabel(
        "Access could not be granted from here. Run these two commands as root, and Trellick "
        "picks up the touchpad at once:",
        12, QFont::Normal, true);
    why->setWordWrap(true);
    layout->addWidget(why);

    auto* commands = new QLabel(QString::fromStdString(evdev::touchpadAccessRootCommands()));
    commands->setObjectName("manualGrant.commands");
    commands->setTextFormat(Qt::PlainText);
    commands->setFont(monoFont(11));
    commands->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    commands->setWordWrap(true);
    commands->setContentsMargins(8, 6, 8, 6);
    commands->setAutoFillBackground(true);
    commands->setBackgroundRole(QPalette::Base);
    commands->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(commands);

    auto* copy = new QPushButton("Copy");
    copy->setObjectName("manualGrant.copy");
    setSymbolIcon(copy, Symbol::docOnDoc, 14);
    copy->setToolTip("Copy the commands to the clipboard");
    connect(copy, &QPushButton::clicked, copy, [copy] {
        QApplication::clipboard()->setText(QString::fromStdString(evdev::touchpadAccessRootCommands()));
        copy->setText("Copied");
        QTimer::singleShot(1500, copy, [copy] { copy->setText("Copy"); });
    });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(copy);
    layout->addLayout(row);
}

// ---------------------------------------------------------------------------------------------

RadioOption::RadioOption(QWidget* parent) : KeyboardFocus(parent) {
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize RadioOption::sizeHint() const {
    return {16 + 8 + fontMetrics().horizontalAdvance(text()) + 4, std::max(24, fontMetrics().height() + 4)};
}

void RadioOption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.45);
    const QRectF dot(1, (height() - 16) / 2.0, 16, 16);
    if (showsFocusRing()) {
        QColor ring = accent(palette());
        ring.setAlphaF(0.5);
        p.setPen(QPen(ring, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(dot);
    }
    if (isChecked()) {
        p.setPen(Qt::NoPen);
        p.setBrush(accent(palette()));
        p.drawEllipse(dot);
        p.setBrush(Qt::white);
        p.drawEllipse(dot.center(), 3.2, 3.2);
    } else {
        p.setPen(QPen(primary(palette(), 0.35), 1));
        p.setBrush(primary(palette(), 0.06));
        p.drawEllipse(dot.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    p.setPen(primary(palette()));
    p.drawText(QRectF(dot.right() + 8, 0, width() - dot.right() - 8, height()), Qt::AlignVCenter | Qt::AlignLeft,
               text());
}

AccentButton::AccentButton(const QString& text, QWidget* parent) : KeyboardFocus(parent) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFont(pixelFont(font(), 13, QFont::DemiBold));
}

QSize AccentButton::sizeHint() const {
    return {std::max(96, fontMetrics().horizontalAdvance(text()) + 36), 30};
}

void AccentButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = accent(palette());
    if (!isEnabled())
        fill.setAlphaF(0.45);
    else if (isDown())
        fill = fill.darker(118);
    else if (underMouse())
        fill = fill.lighter(108);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    if (showsFocusRing()) {
        QColor ring = accent(palette());
        ring.setAlphaF(0.5);
        p.setPen(QPen(ring, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r, 7, 7);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, 7, 7);
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, text());
}

QWidget* symbolLine(Symbol symbol, const QString& text, int pixelSize, bool secondary, int width) {
    auto* line = new QWidget;
    auto* h = new QHBoxLayout(line);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    auto* glyph = new SymbolView(symbol, pixelSize + 4);
    if (secondary) glyph->setColourRole(QPalette::PlaceholderText);
    QLabel* label = makeLabel(text, pixelSize, QFont::Normal, secondary);
    label->setWordWrap(true);
    // As wide as the text needs, up to the room there is; a wrapped label would pick a narrow column.
    const int room = width - glyph->width() - h->spacing();
    label->setMinimumWidth(std::min(room, label->fontMetrics().horizontalAdvance(text) + 2));
    h->addStretch(1);
    h->addWidget(glyph, 0, Qt::AlignTop);
    h->addWidget(label);
    h->addStretch(1);
    return line;
}

// ---------------------------------------------------------------------------------------------

SymbolButton::SymbolButton(Symbol symbol, int size, bool secondary, QWidget* parent)
    : KeyboardFocus(parent), symbol_(symbol), size_(size), secondary_(secondary) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SymbolButton::sizeHint() const {
    return {size_ + 10, size_ + 10};
}

void SymbolButton::enterEvent(QEnterEvent*) {
    hovered_ = true;
    update();
}

void SymbolButton::leaveEvent(QEvent*) {
    hovered_ = false;
    update();
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if ((hovered_ || isDown()) && isEnabled()) {
        p.setPen(Qt::NoPen);
        p.setBrush(primary(palette(), isDown() ? 0.14 : 0.08));
        p.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    if (showsFocusRing()) {
        p.setPen(QPen(accent(palette()), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
    QColor c = secondary_ ? secondaryText(palette()) : primary(palette(), 0.85);
    if (!isEnabled()) c = primary(palette(), 0.22);
    const QRectF box((width() - size_) / 2.0, (height() - size_) / 2.0, size_, size_);
    paintSymbol(p, symbol_, box, c);
}

}  // namespace trellick::ui
