#include "app/SettingsView.h"

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

#include "app/Theme.h"
#include "app/Widgets.h"
#include "overlay/Symbols.h"

namespace trellick {

using namespace ui;

namespace {

struct TabStyle {
    const char* title;
    Symbol symbol;
    QColor tile;
    QColor glyph;
};

QColor rgb(double r, double g, double b) {
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
}

const TabStyle& styleOf(SettingsView::Tab tab) {
    static const TabStyle styles[] = {
        {"General", Symbol::gearshapeFill, rgb(0.52, 0.74, 0.96), rgb(0.17, 0.36, 0.64)},
        {"Gestures", Symbol::handDrawFill, rgb(0.96, 0.81, 0.49), rgb(0.70, 0.46, 0.12)},
        {"Overlay", Symbol::rectangleStackFill, rgb(0.55, 0.80, 0.78), rgb(0.10, 0.42, 0.40)},
        {"Favourites", Symbol::starFill, rgb(0.94, 0.73, 0.84), rgb(0.60, 0.17, 0.38)},
        {"Diagnostics", Symbol::waveformPathEcg, rgb(0.78, 0.74, 0.94), rgb(0.38, 0.30, 0.64)},
    };
    return styles[static_cast<int>(tab)];
}

// ---------------------------------------------------------------------------------------------
// Sidebar

class SidebarRow : public KeyboardFocus<QAbstractButton> {
public:
    explicit SidebarRow(SettingsView::Tab tab, QWidget* parent = nullptr)
        : KeyboardFocus(parent), style_(styleOf(tab)) {
        setText(style_.title);
        setObjectName(QString("tab.") + style_.title);
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFont(pixelFont(font(), 14));
    }
    QSize sizeHint() const override { return {180, 40}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        QColor fill = accent(palette());
        if (isChecked()) {
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(r, 8, 8);
        } else if (underMouse()) {
            fill.setAlphaF(0.14);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(r, 8, 8);
        }
        if (showsFocusRing() && !isChecked()) {
            p.setPen(QPen(accent(palette()), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 8, 8);
        }
        const QRectF tile(6, (height() - 32) / 2.0, 32, 32);
        p.setPen(Qt::NoPen);
        p.setBrush(style_.tile);
        p.drawRoundedRect(tile, 8, 8);
        paintSymbol(p, style_.symbol, tile.adjusted(6, 6, -6, -6), style_.glyph);
        p.setPen(isChecked() ? QColor(Qt::white) : primary(palette()));
        p.drawText(QRectF(tile.right() + 10, 0, width() - tile.right() - 14, height()),
                   Qt::AlignVCenter | Qt::AlignLeft, text());
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    const TabStyle& style_;
};

class SidebarPane : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), primary(palette(), 0.035));
        p.fillRect(QRect(width() - 1, 0, 1, height()), primary(palette(), 0.1));
    }
};

// ---------------------------------------------------------------------------------------------
// Overlay tab's label style cards: a miniature of the panel above the style's title.

class LabelStyleCard : public KeyboardFocus<QAbstractButton> {
public:
    static constexpr int kWidth = 150, kHeight = 92;

    LabelStyleCard(HUDLabelStyle style, const QString& title, QWidget* parent = nullptr)
        : KeyboardFocus(parent), style_(style) {
        setText(title);
        setObjectName(QString("hudLabelStyle.") + rawValue(style));
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return {kWidth + 4, kHeight + 4 + 8 + 20}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool current = isChecked();
        const QRectF mini(2, 2, kWidth, kHeight);
        p.setPen(current ? QPen(accent(palette()), 2.5) : QPen(primary(palette(), 0.12), 1));
        p.setBrush(primary(palette(), 0.04));
        p.drawRoundedRect(mini, 10, 10);
        if (showsFocusRing()) {
            QColor ring = accent(palette());
            ring.setAlphaF(0.45);
            p.setPen(QPen(ring, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(mini.adjusted(-1.5, -1.5, 1.5, 1.5), 11, 11);
        }

        // Five icons in a row, the middle one selected, then the labels of the style.
        const int count = 5;
        const qreal icon = 18, gap = 8;
        const qreal rowWidth = count * icon + (count - 1) * gap;
        const qreal left = mini.center().x() - rowWidth / 2;
        const qreal top = mini.top() + 26;
        p.setPen(Qt::NoPen);
        for (int i = 0; i < count; ++i) {
            const QRectF cell(left + i * (icon + gap), top, icon, icon);
            if (i == count / 2) {
                QColor plate = accent(palette());
                plate.setAlphaF(0.3);
                p.setBrush(plate);
                p.drawRoundedRect(cell.adjusted(-3, -3, 3, style_ == HUDLabelStyle::perIcon ? 11 : 3), 5, 5);
            }
            p.setBrush(primary(palette(), 0.28));
            p.drawRoundedRect(cell, 4.5, 4.5);
            if (style_ == HUDLabelStyle::perIcon) {
                p.setBrush(primary(palette(), 0.22));
                p.drawRoundedRect(QRectF(cell.left() + 1, cell.bottom() + 4, icon - 2, 3.5), 1.75, 1.75);
            }
        }
        if (style_ == HUDLabelStyle::caption) {
            p.setBrush(primary(palette(), 0.28));
            p.drawRoundedRect(QRectF(mini.center().x() - 26, top + icon + 12, 52, 5), 2.5, 2.5);
        }

        QFont f = pixelFont(font(), 13, current ? QFont::DemiBold : QFont::Normal);
        p.setFont(f);
        p.setPen(current ? primary(palette()) : secondaryText(palette()));
        p.drawText(QRectF(0, mini.bottom() + 8, width(), 20), Qt::AlignHCenter | Qt::AlignTop, text());
    }

private:
    HUDLabelStyle style_;
};

// ---------------------------------------------------------------------------------------------
// Bindings

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

template <typename Enum, std::size_t N>
Subscription bindSegments(SegmentedControl* control, Setting<Enum>& setting, const Enum (&all)[N]) {
    QObject::connect(control, &SegmentedControl::activated, control, [&setting, &all](int i) {
        if (i >= 0 && static_cast<std::size_t>(i) < N) setting.set(all[i]);
    });
    return setting.subscribe([control, &all](const Enum& v) {
        for (std::size_t i = 0; i < N; ++i)
            if (all[i] == v) control->setCurrentIndex(static_cast<int>(i));
    });
}

QString fixed(const char* format, double v) {
    return QString::asprintf(format, v);
}

QString milliseconds(double seconds) {
    const double ms = seconds * 1000.0;
    if (!std::isfinite(ms) || std::fabs(ms) > 9.0e15) return "—";
    return QString::number(std::llround(ms)) + " ms";  // halves away from zero
}

// A content page of the detail pane: a scroll area whose sections stack 24 px apart, 28 px in.
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

// A label on the left, a value on the right.
QLabel* addStatRow(QVBoxLayout* body, const QString& label, const QString& name, QWidget* valueWidget = nullptr) {
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

// A dot, a label and, on the right, a state text or a button.
struct StatusRow {
    QWidget* row;
    StatusDot* dot;
    QLabel* state;
    QPushButton* button;
};

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

QString modeLabel(SwitchMode mode, Granularity g) {
    const bool window = g == Granularity::window;
    if (mode == SwitchMode::directionalMRU) return window ? "Directional window list" : "Directional app list";
    return window ? "Toggle last window only" : "Toggle last app only";
}

QString modeDescription(SwitchMode mode, Granularity g) {
    const QString noun = g == Granularity::window ? "window" : "app";
    if (mode == SwitchMode::directionalMRU)
        return "Shows an Alt-Tab-style switcher: hold three fingers down and slide — the panel appears and the "
               "selection moves through the recent-" +
               noun +
               " list as you go (slide further to move further). Lift your fingers to switch to the highlighted " +
               noun + ".";
    return "A swipe in either direction switches to the previously used " + noun + " — like a single Alt-Tab press.";
}

QString granularityDescription(Granularity g) {
    if (g == Granularity::window)
        return "Switches between individual windows, including separate windows of the same app. Requires window "
               "control from your window manager. (Tabs inside a single window aren't separate windows.)";
    return "Switches between applications, like Alt-Tab. Two windows of the same app count as one.";
}

QWidget* feelCard(SettingsStore& s, std::vector<Subscription>& subs) {
    auto twoDecimals = [](double v) { return fixed("%.2f", v); };
    auto* feel = new SectionCard("Feel");
    feel->body()->setSpacing(16);
    const std::pair<SliderRow::Params, Setting<double>*> feelRows[] = {
        {{"sensitivity", "Sensitivity", 0, 1, twoDecimals, "Low", "High",
          "How far you swipe to move one entry. Higher = a shorter swipe per step."},
         &s.sensitivity},
        {{"acceleration", "Flick acceleration", 0, 1, twoDecimals, "Off", "More",
          "How much a fast flick jumps ahead, so you can cross a long list quickly."},
         &s.acceleration},
        {{"cancelDistance", "Down-swipe to cancel", 0, 1, twoDecimals, "Short", "Long",
          "How far you swipe down to cancel a switch. Longer = harder to trigger by accident."},
         &s.cancelDistance},
    };
    for (const auto& [params, setting] : feelRows) {
        auto* row = new SliderRow(params);
        subs.push_back(bindSlider(row, *setting));
        feel->body()->addWidget(row);
    }
    return feel;
}

QWidget* quickFlickCard(SettingsStore& s, std::vector<Subscription>& subs) {
    auto* quick = new SectionCard("Quick flick");
    quick->body()->setSpacing(16);
    quick->body()->addWidget(
        descriptionLabel("A quick flick switches straight to your previous app; hold the swipe a "
                         "moment to open the picker and choose."));
    const std::pair<SliderRow::Params, Setting<double>*> quickRows[] = {
        {{"flickRevealDelay", "Reveal delay", 0, 0.3, milliseconds, "", "",
          "How long after the swipe starts before the picker appears. Lift before this — or while still flicking "
          "fast — and it jumps straight to the previous app."},
         &s.flickRevealDelay},
        {{"flickVelocity", "Flick speed threshold", 0.5, 6.0, [](double v) { return fixed("%.1f", v); }, "", "",
          "Finger speed below which the gesture reads as a deliberate drag (opens the picker) rather than a flick "
          "still in progress. Higher = more swipes treated as flicks."},
         &s.flickVelocity},
    };
    for (const auto& [params, setting] : quickRows) {
        auto* row = new SliderRow(params);
        subs.push_back(bindSlider(row, *setting));
        quick->body()->addWidget(row);
    }
    return quick;
}

QWidget* touchpadNote() {
    auto* touchpad = new QWidget;
    auto* t = new QVBoxLayout(touchpad);
    t->setContentsMargins(0, 0, 0, 0);
    t->setSpacing(8);
    QLabel* header = sectionHeaderLabel("Touchpad");
    header->setContentsMargins(4, 0, 0, 0);
    t->addWidget(header);
    t->addWidget(new NoteBox(
        "If a 3-finger swipe also triggers a desktop gesture (such as switching workspaces), turn that gesture off in "
        "your desktop's touchpad settings. Trellick reads raw touch data directly, so it works regardless of that "
        "setting — but it won't *prevent* your desktop from also acting on the gesture."));
    return touchpad;
}

// Shows a counter in `label`, followed by `suffix`.
auto showCount(QLabel* label, const QString& suffix = QString()) {
    return [label, suffix](const std::int64_t& n) { label->setText(QString::number(n) + suffix); };
}

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

QString SettingsView::rawValue(Tab tab) {
    return styleOf(tab).title;
}

SettingsView::SettingsView(Dependencies deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
    setObjectName("settingsView");
    // Painted in its own palette: the window around it keeps the application's.
    setAutoFillBackground(true);
    setWindowTitle("Settings");
    setFixedSize(720, 520);
    setFont(pixelFont(font(), 13));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar());
    pages_ = new QStackedWidget;
    layout->addWidget(pages_, 1);

    buildGeneral();
    buildGestures();
    buildOverlay();
    QVBoxLayout* favourites = addPage(pages_, rawValue(Tab::favourites));
    favourites->addWidget(new FavouritesTab(deps_.settings, deps_.favourites));
    favourites->addStretch(1);
    buildDiagnostics();

    subs_.push_back(followAppearance(this, deps_.appearance));
    selectTab(Tab::general);
    subs_.push_back(
        deps_.settings->requestedTab.subscribe([this](const std::optional<SettingsTab>&) { honourRequestedTab(); }));
}

SettingsView::~SettingsView() = default;

QWidget* SettingsView::buildSidebar() {
    auto* pane = new SidebarPane;
    pane->setObjectName("sidebar");
    pane->setFixedWidth(220);
    auto* v = new QVBoxLayout(pane);
    v->setContentsMargins(9, 10, 9, 10);
    v->setSpacing(2);
    tabButtons_ = new QButtonGroup(this);
    tabButtons_->setExclusive(true);
    for (Tab tab : kAllTabs) {
        auto* row = new SidebarRow(tab);
        tabButtons_->addButton(row, static_cast<int>(tab));
        v->addWidget(row);
    }
    v->addStretch(1);
    connect(tabButtons_, &QButtonGroup::idClicked, this, [this](int id) { selectTab(static_cast<Tab>(id)); });
    return pane;
}

void SettingsView::selectTab(Tab tab) {
    if (auto* b = tabButtons_->button(static_cast<int>(tab))) b->setChecked(true);
    pages_->setCurrentIndex(static_cast<int>(tab));
}

void SettingsView::showEvent(QShowEvent* event) {
    honourRequestedTab();
    QWidget::showEvent(event);
}

void SettingsView::honourRequestedTab() {
    const auto& request = deps_.settings->requestedTab.get();
    if (!request) return;
    selectTab(*request);
    deps_.settings->requestedTab.set(std::nullopt);
}

void SettingsView::grantTouchpadAccess() {
    if (!deps_.onGrantTouchpadAccess) {
        manualGrant_->show();
        return;
    }
    QPointer<QWidget> box = manualGrant_;
    std::weak_ptr<Diagnostics> diagnostics = deps_.diagnostics;
    deps_.onGrantTouchpadAccess([box, diagnostics](GrantOutcome outcome) {
        auto d = diagnostics.lock();
        if (box && outcome == GrantOutcome::cannotRun && (!d || d->touchpadsInaccessible.get() != 0)) box->show();
    });
}

void SettingsView::buildGeneral() {
    SettingsStore& s = *deps_.settings;
    QVBoxLayout* page = addPage(pages_, rawValue(Tab::general));
    page->addWidget(buildSwitchingCard());

    auto* between = new SectionCard("Switch between");
    auto* granularity = new SegmentedControl("granularity", "Granularity", {"Windows", "Applications"});
    subs_.push_back(bindSegments(granularity, s.granularity, kAllGranularities));
    QLabel* granularityText = descriptionLabel(QString());
    granularityText->setObjectName("granularity.description");
    StatusRow control = makeStatusRow("windowControl", "Window control", QString());
    between->body()->addWidget(granularity);
    between->body()->addWidget(granularityText);
    between->body()->addWidget(control.row);
    page->addWidget(between);

    auto* mode = new SectionCard("Mode");
    auto* modeGroup = new QButtonGroup(mode);
    RadioOption* modeButtons[2];
    for (std::size_t i = 0; i < 2; ++i) {
        modeButtons[i] = new RadioOption;
        modeButtons[i]->setObjectName(QString("mode.") + trellick::rawValue(kAllSwitchModes[i]));
        modeGroup->addButton(modeButtons[i], static_cast<int>(i));
        mode->body()->addWidget(modeButtons[i]);
    }
    mode->card()->setAccessibleName("Mode");
    mode->body()->setSpacing(8);
    QLabel* modeText = descriptionLabel(QString());
    modeText->setObjectName("mode.description");
    mode->body()->addWidget(modeText);
    page->addWidget(mode);
    page->addStretch(1);

    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int i) { deps_.settings->mode.set(kAllSwitchModes[i]); });
    auto refresh = [this, granularityText, control, modeButtons, modeText] {
        const Granularity g = deps_.settings->granularity.get();
        const SwitchMode m = deps_.settings->mode.get();
        granularityText->setText(granularityDescription(g));
        control.row->setVisible(g == Granularity::window);
        for (std::size_t i = 0; i < 2; ++i) {
            modeButtons[i]->setText(modeLabel(kAllSwitchModes[i], g));
            modeButtons[i]->updateGeometry();
            const QSignalBlocker block(modeButtons[i]);
            modeButtons[i]->setChecked(kAllSwitchModes[i] == m);
        }
        modeText->setText(modeDescription(m, g));
    };
    subs_.push_back(s.granularity.subscribe([refresh](const Granularity&) { refresh(); }));
    subs_.push_back(s.mode.subscribe([refresh](const SwitchMode&) { refresh(); }));
    subs_.push_back(deps_.diagnostics->windowControlAvailable.subscribe([control](const bool& available) {
        control.dot->setColour(available ? statusGreen() : statusOrange());
        control.state->setText(available ? "Available" : "Unavailable");
    }));
}

QWidget* SettingsView::buildSwitchingCard() {
    SettingsStore& s = *deps_.settings;
    auto* switching = new SectionCard("Switching");
    auto* enabled = new ToggleRow("enabled", "Enable swipe switching");
    auto* login = new ToggleRow("launchAtLogin", "Launch at login");
    subs_.push_back(bindToggle(enabled->toggle(), s.enabled));
    subs_.push_back(bindToggle(login->toggle(), s.launchAtLogin));
    switching->body()->addWidget(enabled);
    switching->body()->addWidget(login);
    StatusRow touchpad = makeStatusRow("touchpadAccess", "Touchpad access", "Grant…");
    switching->body()->addWidget(touchpad.row);
    manualGrant_ = new ManualGrantBox;
    manualGrant_->hide();
    switching->body()->addWidget(manualGrant_);
    connect(touchpad.button, &QPushButton::clicked, this, [this] { grantTouchpadAccess(); });
    subs_.push_back(deps_.diagnostics->touchpadsInaccessible.subscribe([this, touchpad](const std::int64_t& refused) {
        const bool granted = refused == 0;
        touchpad.dot->setColour(granted ? statusGreen() : statusOrange());
        touchpad.state->setText("Granted");
        touchpad.state->setVisible(granted);
        touchpad.button->setVisible(!granted);
        if (granted) manualGrant_->hide();
    }));
    return switching;
}

void SettingsView::buildGestures() {
    SettingsStore& s = *deps_.settings;
    QVBoxLayout* page = addPage(pages_, rawValue(Tab::gestures));

    auto* feedback = new SectionCard("Feedback");
    auto* haptic = new ToggleRow("hapticFeedback", "Haptic feedback");
    subs_.push_back(bindToggle(haptic->toggle(), s.hapticFeedback));
    feedback->body()->addWidget(haptic);
    feedback->body()->addWidget(descriptionLabel(
        "A subtle touchpad tap as the selection moves, and a firmer one when it switches. Haptic touchpads only."));
    page->addWidget(feedback);
    page->addWidget(feelCard(s, subs_));
    page->addWidget(quickFlickCard(s, subs_));

    auto* reset = new QPushButton("Reset to defaults");
    reset->setObjectName("resetGestures");
    reset->setToolTip("Restore all the gesture sliders above (Feel and Quick flick) to their defaults.");
    connect(reset, &QPushButton::clicked, this, [this] { deps_.settings->resetGestureTuning(); });
    auto* resetLine = new QHBoxLayout;
    resetLine->setContentsMargins(0, 0, 0, 0);
    resetLine->addWidget(reset);
    resetLine->addStretch(1);
    page->addLayout(resetLine);

    auto* direction = new SectionCard("Direction");
    auto* invert = new ToggleRow("invertDirection", "Invert swipe direction");
    subs_.push_back(bindToggle(invert->toggle(), s.invertDirection));
    direction->body()->addWidget(invert);
    direction->body()->addWidget(
        descriptionLabel("Flip which physical swipe direction goes toward more recently used apps versus older ones."));
    page->addWidget(direction);
    page->addWidget(touchpadNote());
    page->addStretch(1);
}

void SettingsView::buildOverlay() {
    SettingsStore& s = *deps_.settings;
    QVBoxLayout* page = addPage(pages_, rawValue(Tab::overlay));

    auto* directional = new SectionCard("Directional overlay");
    auto* show = new ToggleRow("showHUD", "Show overlay in directional mode");
    subs_.push_back(bindToggle(show->toggle(), s.showHUD));
    directional->body()->addWidget(show);
    directional->body()->addWidget(
        descriptionLabel("While walking the directional list, briefly display the app or window you've landed on. "
                         "(Toggle mode never shows it.)"));
    auto* compact = new ToggleRow("compactPeekSpacing", "Compact peek row");
    compact->setToolTip(
        "Pull the small (peeking) row's icons closer together instead of spreading them across full-width cells.");
    subs_.push_back(bindToggle(compact->toggle(), s.compactPeekSpacing));
    directional->body()->addWidget(compact);
    page->addWidget(directional);

    auto* style = new SectionCard("Style");
    auto* styles = new SegmentedControl("hudStyle", "Overlay style", {"Modern", "Classic", "Windows 95"});
    subs_.push_back(bindSegments(styles, s.hudStyle, kAllHUDStyles));
    style->body()->addWidget(styles);
    style->body()->addWidget(
        descriptionLabel("Modern: a frosted panel with a sliding accent highlight. Classic: the original, simpler "
                         "panel. Windows 95: a retro beveled panel with a navy highlight."));
    page->addWidget(style);

    auto* labels = new SectionCard("Labels");
    labels->body()->addWidget(descriptionLabel("Show one caption under the row, or a label beneath every icon."));
    auto* cards = new QHBoxLayout;
    cards->setSpacing(16);
    auto* group = new QButtonGroup(labels);
    const std::pair<HUDLabelStyle, const char*> cardSpecs[] = {{HUDLabelStyle::caption, "Centered caption"},
                                                               {HUDLabelStyle::perIcon, "Under each icon"}};
    for (const auto& [labelStyle, title] : cardSpecs) {
        auto* card = new LabelStyleCard(labelStyle, title);
        group->addButton(card, static_cast<int>(labelStyle));
        cards->addWidget(card);
    }
    cards->addStretch(1);
    labels->body()->addLayout(cards);
    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { deps_.settings->hudLabelStyle.set(static_cast<HUDLabelStyle>(id)); });
    subs_.push_back(s.hudLabelStyle.subscribe([group](const HUDLabelStyle& v) {
        if (auto* b = group->button(static_cast<int>(v))) b->setChecked(true);
    }));
    page->addWidget(labels);
    page->addStretch(1);
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
