#pragma once
// The building blocks of the shell's windows: section cards, switch-style toggles, segmented
// pickers, slider rows, status dots and pills, note boxes, drawn symbols and the box with the
// touchpad commands. They paint from the palette, so they follow light, dark and the accent.

#include <QAbstractButton>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <functional>

#include "overlay/Symbols.h"

class QButtonGroup;
class QSlider;
class QVBoxLayout;

namespace trellick::ui {

// Draws its focus ring only when the focus came from the keyboard, as desktops do: a window
// that opens or is clicked shows none.
template <typename Base>
class KeyboardFocus : public Base {
public:
    using Base::Base;

protected:
    bool showsFocusRing() const { return this->hasFocus() && byKeyboard_; }
    void focusInEvent(QFocusEvent* event) override {
        const auto r = event->reason();
        byKeyboard_ = r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::ShortcutFocusReason;
        Base::focusInEvent(event);
    }

private:
    bool byKeyboard_ = false;
};

// Text at a pixel size and weight; secondary text uses the palette's placeholder colour.
QLabel* makeLabel(const QString& text, int pixelSize, QFont::Weight weight = QFont::Normal, bool secondary = false);
// A 13-px secondary description that wraps.
QLabel* descriptionLabel(const QString& text);
// The section header style: upper-cased, 12-px semibold, letter spacing 0.8, secondary.
QLabel* sectionHeaderLabel(const QString& title);
// Light markup into rich text: **bold** and *italic*; everything else is escaped.
QString emphasisToHtml(const QString& markup);
// A single line of plain text that elides at the right instead of widening its window.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A thin horizontal line.
QFrame* makeDivider();

// Gives `button` the symbol in its button-text colour at `size`, redrawn whenever its palette
// changes (the appearance switching between light and dark while the window is open).
void setSymbolIcon(QAbstractButton* button, Symbol symbol, int size);

// A card body: the primary colour at 4 % behind, a 1-px border at 8 %, corners of 12, padded 14.
class CardFrame : public QFrame {
public:
    explicit CardFrame(QWidget* parent = nullptr);
    QVBoxLayout* body() const { return body_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QVBoxLayout* body_;
};

// A section: its header line above a card.
class SectionCard : public QWidget {
public:
    explicit SectionCard(const QString& title, QWidget* parent = nullptr);
    QVBoxLayout* body() const { return card_->body(); }
    CardFrame* card() const { return card_; }
    void setTitle(const QString& title);

private:
    QLabel* header_;
    CardFrame* card_;
};

// A switch-style toggle (checkable). Space toggles it; it takes focus from the keyboard only.
class ToggleSwitch : public KeyboardFocus<QAbstractButton> {
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A label on the left and a toggle on the right; clicking the label flips the toggle too.
class ToggleRow : public QWidget {
public:
    // `name` becomes the toggle's object name, `symbol` an optional glyph before the label.
    ToggleRow(const QString& name, const QString& label, std::optional<Symbol> symbol = std::nullopt,
              QWidget* parent = nullptr);
    ToggleSwitch* toggle() const { return toggle_; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ToggleSwitch* toggle_;
};

// A row of exclusive segments; `activated` fires only for the user's choices.
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    SegmentedControl(const QString& name, const QString& accessibleName, const QStringList& options,
                     QWidget* parent = nullptr);
    void setCurrentIndex(int index);
    QAbstractButton* segment(int index) const;

signals:
    void activated(int index);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QButtonGroup* group_;
};

// A drawn symbol in a fixed box and colour (a default-constructed colour: the text colour).
class SymbolView : public QWidget {
public:
    SymbolView(Symbol symbol, int size, QColor colour = {}, QWidget* parent = nullptr);
    void setSymbol(Symbol symbol, QColor colour = {});
    // Without a colour of its own, paints in this palette role (the text colour by default).
    void setColourRole(QPalette::ColorRole role);
    Symbol symbol() const { return symbol_; }
    QColor colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Symbol symbol_;
    QColor colour_;
    std::optional<QPalette::ColorRole> role_;
};

// A small round status dot.
class StatusDot : public QWidget {
public:
    explicit StatusDot(QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    QColor colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor colour_;
};

// A capsule around a short text, tinted green (active) or orange at 15 %.
class StatusPill : public QLabel {
public:
    explicit StatusPill(QWidget* parent = nullptr);
    void setActive(bool active);
    bool isActive() const { return active_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    bool active_ = false;
};

// Makes the mouse wheel over a value control (a slider) scroll the page it sits in, unless the
// control has the keyboard focus: a wheel turned to scroll the page must not retune a setting
// on its way. Outside a scroll area the control keeps the wheel.
void wheelScrollsPageUnlessFocused(QWidget* control);

// A named slider over a continuous range: the name and the formatted value above, optional
// captions at the ends below. The value shown is always the one last set; the user's moves
// are reported through `edited` (while dragging, once at release, so that a drag does not
// write the preferences file at every pixel).
class SliderRow : public QWidget {
    Q_OBJECT
public:
    struct Params {
        QString key;  // object name of the slider; its value label is key + ".value"
        QString name;
        double min = 0, max = 1;
        std::function<QString(double)> format;
        QString lowEnd, highEnd;  // empty: no captions
        QString tooltip;
    };
    explicit SliderRow(Params params, QWidget* parent = nullptr);
    void setValue(double value);

signals:
    void edited(double value);

private:
    double valueAt(int position) const;
    Params params_;
    QSlider* slider_;
    QLabel* value_;
};

// A note: the info symbol beside rich text, on a faint tint with a thin border.
class NoteBox : public QFrame {
public:
    explicit NoteBox(const QString& markup, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

// Where granting touchpad access could not run: the commands to run as root, and Copy.
class ManualGrantBox : public QWidget {
public:
    explicit ManualGrantBox(QWidget* parent = nullptr);
};

// A radio option drawn from the palette, legible on light and dark cards alike.
class RadioOption : public KeyboardFocus<QAbstractButton> {
public:
    explicit RadioOption(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};

// The window's suggested action: white text on the accent colour.
class AccentButton : public KeyboardFocus<QPushButton> {
public:
    explicit AccentButton(const QString& text = QString(), QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A symbol beside a text, centred as one block within `width`; the text wraps when longer.
QWidget* symbolLine(Symbol symbol, const QString& text, int pixelSize, bool secondary, int width);

// A borderless button showing a drawn symbol, for small row actions.
class SymbolButton : public KeyboardFocus<QAbstractButton> {
public:
    SymbolButton(Symbol symbol, int size, bool secondary = false, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    Symbol symbol_;
    int size_;
    bool secondary_;
    bool hovered_ = false;
};

}  // namespace trellick::ui
