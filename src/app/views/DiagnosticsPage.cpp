#include "app/views/SettingsView.h"

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
#include "app/widgets/Widgets.h"
#include "overlay/Symbols.h"

#include "app/views/SettingsParts.h"

namespace trellick {

using namespace ui;
using namespace pages;

namespace {

// Fills `list` with the numbered entries, or says there are none yet.
void fillRecent(QVBoxLayout* list, bool apps, const std::vector<std::string>& entries) {
    while (QLayoutItem* item = list->takeAt(0)) {
        if (QLayout* line = item->layout()) {
            while (QLayoutItem* inner = line->takeAt(0)) {
                delete inner->widget();
                delete inner;
            }
        }
        delete item->widget();
        delete item;
    }
    if (entries.empty()) {
        list->addWidget(descriptionLabel(apps ? "Nothing yet — switch between a couple of apps."
                                              : "Nothing yet — click between a couple of windows."));
        return;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* line = new QHBoxLayout;
        line->setSpacing(10);
        QLabel* position = new QLabel(QString::number(i + 1));
        position->setFont(monoFont(13));
        position->setForegroundRole(QPalette::PlaceholderText);
        position->setFixedWidth(24);
        position->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QLabel* text = new ElidedLabel(QString::fromStdString(entries[i]));
        text->setObjectName("diag.recent.entry");
        line->addWidget(position);
        line->addWidget(text, 1);
        list->addLayout(line);
    }
}

}  // namespace

DisplayClock DisplayClock::system() {
    return {[] {
                timespec ts{};
                clock_gettime(CLOCK_MONOTONIC, &ts);
                return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
            },
            [] { return QDateTime::currentDateTime(); }};
}

QString mediumTimeOfDay(const QTime& time, const QLocale& locale) {
    // The long style without its time zone is what other toolkits call the medium style.
    const QString longFormat = locale.timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    for (qsizetype i = 0; i < longFormat.size(); ++i) {
        const QChar c = longFormat[i];
        if (c == '\'') quoted = !quoted;
        if (!quoted && c == 't') continue;
        format += c;
    }
    return locale.toString(time, format.simplified());
}

void SettingsView::buildDiagnostics() {
    QVBoxLayout* page = addPage(pages_, rawValue(Tab::diagnostics));
    if (deps_.onAllowWindowManagement) page->addWidget(buildWindowManagementAccess());
    page->addWidget(buildTouchpadStats());
    page->addWidget(buildActivityStats());
    page->addWidget(buildRecentList());
    page->addStretch(1);
}

QWidget* SettingsView::buildTouchpadStats() {
    Diagnostics& d = *deps_.diagnostics;
    auto* touchpad = new SectionCard("Touchpad");
    auto* pill = new StatusPill;
    pill->setObjectName("diag.devices");
    addStatRow(touchpad->body(), "Touchpads", QString(), pill);
    QLabel* refused = addStatRow(touchpad->body(), "Touchpads without access", "diag.inaccessible");
    QLabel* fingers = addStatRow(touchpad->body(), "Fingers down now", "diag.fingers");
    subs_.push_back(d.multitouchDevicesActive.subscribe([pill](const std::int64_t& n) {
        pill->setText(QString::number(n) + " active");
        pill->setActive(n > 0);
    }));
    subs_.push_back(d.touchpadsInaccessible.subscribe(showCount(refused)));
    subs_.push_back(d.currentFingerCount.subscribe(showCount(fingers)));
    // Size and libinput quirks per touchpad: why palms and wide hands are judged as they are.
    QLabel* known = addStatRow(touchpad->body(), "Device knowledge", "diag.knowledge");
    known->setWordWrap(true);
    known->setTextFormat(Qt::PlainText);
    subs_.push_back(d.touchpadKnowledge.subscribe([known](const std::vector<std::string>& lines) {
        QStringList text;
        for (const auto& line : lines) text << QString::fromStdString(line);
        known->setText(text.isEmpty() ? QStringLiteral("—") : text.join('\n'));
    }));
    return touchpad;
}

QWidget* SettingsView::buildWindowManagementAccess() {
    auto* card = new SectionCard("Window control");
    StatusRow row = makeStatusRow("kwinWindowManagement", "KWin window management", "Allow");
    card->body()->addWidget(row.row);
    QLabel* text = descriptionLabel(
        "KWin lets a program see and switch windows only when a desktop entry names it. Allow "
        "writes one for this copy of Trellick to your applications folder, hidden from menus.");
    text->setObjectName("kwinWindowManagement.description");
    card->body()->addWidget(text);
    connect(row.button, &QPushButton::clicked, this, [this, row, text] {
        row.button->setEnabled(false);
        QPointer<QLabel> label = text;
        QPointer<QPushButton> button = row.button;
        deps_.onAllowWindowManagement([label, button](const Result<>& done) {
            if (button) button->setEnabled(true);
            if (label && !done) label->setText(QString::fromStdString(done.error().reason));
        });
    });
    subs_.push_back(deps_.diagnostics->windowControlAvailable.subscribe([row, text](const bool& available) {
        row.dot->setColour(available ? statusGreen() : statusOrange());
        row.state->setText("Allowed");
        row.state->setVisible(available);
        row.button->setVisible(!available);
        text->setVisible(!available);
    }));
    return card;
}

QWidget* SettingsView::buildActivityStats() {
    Diagnostics& d = *deps_.diagnostics;
    auto* activity = new SectionCard("Activity");
    QLabel* swipes = addStatRow(activity->body(), "Swipes detected", "diag.swipes");
    QLabel* switches = addStatRow(activity->body(), "Switches triggered", "diag.switches");
    QLabel* rejects = addStatRow(activity->body(), "Ignored (touches too far apart)", "diag.rejects");
    QLabel* spread = addStatRow(activity->body(), "Last 3-touch spread", "diag.spread");
    QLabel* travel = addStatRow(activity->body(), "Last horizontal travel", "diag.travel");
    QLabel* last = addStatRow(activity->body(), "Last swipe", "diag.lastSwipe");
    subs_.push_back(d.swipeEventsSeen.subscribe(showCount(swipes)));
    subs_.push_back(d.actionsTriggered.subscribe(showCount(switches)));
    subs_.push_back(d.spreadRejects.subscribe(showCount(rejects)));
    subs_.push_back(d.lastFingerSpread.subscribe([spread](const double& v) { spread->setText(fixed("%.2f", v)); }));
    subs_.push_back(d.lastDeltaX.subscribe([travel](const double& v) { travel->setText(fixed("%+.3f", v)); }));
    subs_.push_back(d.lastEventAt.subscribe([this, last](const std::optional<double>& at) {
        if (!at) {
            last->setText("—");
            return;
        }
        // The engine keeps frame time; the wall clock of that moment is now minus its age.
        const double age = deps_.clock.monotonicNow() - *at;
        const QDateTime wall = deps_.clock.wallNow().addMSecs(-static_cast<qint64>(std::llround(age * 1000.0)));
        last->setText(mediumTimeOfDay(wall.time(), QLocale()));
    }));
    return activity;
}

QWidget* SettingsView::buildRecentList() {
    auto* recent = new SectionCard(QString());
    auto* listHolder = new QWidget;
    listHolder->setObjectName("diag.recent");
    auto* list = new QVBoxLayout(listHolder);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(6);
    recent->body()->addWidget(listHolder);
    auto refreshRecent = [this, recent, list] {
        const bool apps = deps_.settings->granularity.get() == Granularity::app;
        recent->setTitle(apps ? "Recent apps" : "Recent windows");
        fillRecent(list, apps, apps ? deps_.diagnostics->mruNames.get() : deps_.diagnostics->mruWindowTitles.get());
    };
    Diagnostics& d = *deps_.diagnostics;
    subs_.push_back(deps_.settings->granularity.subscribe([refreshRecent](const Granularity&) { refreshRecent(); }));
    subs_.push_back(d.mruNames.subscribe([refreshRecent](const std::vector<std::string>&) { refreshRecent(); }));
    subs_.push_back(d.mruWindowTitles.subscribe([refreshRecent](const std::vector<std::string>&) { refreshRecent(); }));
    return recent;
}

}  // namespace trellick
