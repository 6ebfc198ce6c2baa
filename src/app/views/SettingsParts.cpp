#include "app/views/SettingsParts.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <ctime>

#include "app/views/Theme.h"
#include "overlay/Symbols.h"

namespace trellick::pages {

using namespace ui;

Subscription bindToggle(ToggleSwitch* toggle, Setting<bool>& setting) {
    QObject::connect(toggle, &QAbstractButton::toggled, toggle, [&setting](bool on) { setting.set(on); });
    return setting.subscribe([toggle](const bool& on) {
        const QSignalBlocker block(toggle);
        toggle->setChecked(on);
        toggle->update();
    });
}

Subscription bindSlider(SliderRow* row, Setting<double>& setting) {
    QObject::connect(row, &SliderRow::edited, row, [&setting](double v) { setting.set(v); });
    return setting.subscribe([row](const double& v) { row->setValue(v); });
}

QString fixed(const char* format, double v) {
    return QString::asprintf(format, v);
}

QString milliseconds(double seconds) {
    const double ms = seconds * 1000.0;
    if (!std::isfinite(ms) || std::fabs(ms) > 9.0e15) return "—";
    return QString::number(std::llround(ms)) + " ms";  // halves away from zero
}

QVBoxLayout* addPage(QStackedWidget* pages, const QString& name) {
    auto* scroll = new QScrollArea;
    scroll->setObjectName("page." + name);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(24);
    scroll->setWidget(content);
    pages->addWidget(scroll);
    return layout;
}

QLabel* addStatRow(QVBoxLayout* body, const QString& label, const QString& name, QWidget* valueWidget) {
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    row->addWidget(makeLabel(label, 13), 1);
    QLabel* value = nullptr;
    if (valueWidget) {
        row->addWidget(valueWidget);
    } else {
        value = new QLabel;
        value->setFont(monoFont(13));
        value->setForegroundRole(QPalette::PlaceholderText);
        value->setObjectName(name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(value);
    }
    body->addLayout(row);
    return value;
}

StatusRow makeStatusRow(const QString& name, const QString& label, const QString& buttonText) {
    StatusRow s{new QWidget, new StatusDot, new QLabel, nullptr};
    s.row->setObjectName(name);
    auto* h = new QHBoxLayout(s.row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(8);
    h->addWidget(s.dot);
    h->addWidget(makeLabel(label, 13), 1);
    s.state->setObjectName(name + ".state");
    s.state->setForegroundRole(QPalette::PlaceholderText);
    h->addWidget(s.state);
    if (!buttonText.isEmpty()) {
        s.button = new QPushButton(buttonText);
        s.button->setObjectName(name + ".grant");
        h->addWidget(s.button);
    }
    return s;
}

}  // namespace trellick::pages
