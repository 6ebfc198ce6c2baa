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

#include "app/views/SettingsParts.h"
#include "app/views/Theme.h"
#include "app/widgets/Widgets.h"
#include "overlay/Symbols.h"

namespace trellick {

using namespace ui;
using namespace pages;

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

}  // namespace

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

}  // namespace trellick
