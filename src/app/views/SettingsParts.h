#pragma once
// What the settings window's pages share: a page in the detail pane, label-and-value rows,
// status rows, and bindings of controls to settings. Only the settings window's files use it.

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QString>
#include <QVBoxLayout>

#include <cstddef>
#include <cstdint>

#include "app/widgets/Widgets.h"
#include "settings/SettingsStore.h"

namespace trellick::pages {

Subscription bindToggle(ui::ToggleSwitch* toggle, Setting<bool>& setting);
Subscription bindSlider(ui::SliderRow* row, Setting<double>& setting);

template <typename Enum, std::size_t N>
Subscription bindSegments(ui::SegmentedControl* control, Setting<Enum>& setting, const Enum (&all)[N]) {
    QObject::connect(control, &ui::SegmentedControl::activated, control, [&setting, &all](int i) {
        if (i >= 0 && static_cast<std::size_t>(i) < N) setting.set(all[i]);
    });
    return setting.subscribe([control, &all](const Enum& v) {
        for (std::size_t i = 0; i < N; ++i)
            if (all[i] == v) control->setCurrentIndex(static_cast<int>(i));
    });
}

QString fixed(const char* format, double v);
// Whole milliseconds, or a dash for a value that is no time.
QString milliseconds(double seconds);

// A content page of the detail pane: a scroll area whose sections stack 24 px apart, 28 px in.
QVBoxLayout* addPage(QStackedWidget* pages, const QString& name);
// A label on the left, a value on the right.
QLabel* addStatRow(QVBoxLayout* body, const QString& label, const QString& name, QWidget* valueWidget = nullptr);

// A dot, a label and, on the right, a state text or a button.
struct StatusRow {
    QWidget* row;
    ui::StatusDot* dot;
    QLabel* state;
    QPushButton* button;
};
StatusRow makeStatusRow(const QString& name, const QString& label, const QString& buttonText);

// Shows a counter in `label`, followed by `suffix`.
inline auto showCount(QLabel* label, const QString& suffix = QString()) {
    return [label, suffix](const std::int64_t& n) { label->setText(QString::number(n) + suffix); };
}

}  // namespace trellick::pages
