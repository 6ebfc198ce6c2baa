#include "app/views/FavouritesTab.h"

#include <QCollator>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "app/views/Theme.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/Widgets.h"
#include "tracking/UsageTracker.h"

namespace trellick::ui {

namespace {

constexpr double kDimmedOpacity = 0.45;
constexpr int kShelfLimit = 6;
constexpr int kPopoverSuggestionLimit = 8;

// The application's icon at `size`, or the dashed placeholder where none is known.
QWidget* appIcon(const QIcon& icon, int size) {
    if (icon.isNull()) return new SymbolView(Symbol::appDashed, size);
    auto* label = new QLabel;
    label->setFixedSize(size, size);
    label->setPixmap(icon.pixmap(size, size));
    return label;
}

// A suggested application: icon, name and a plus, in a faint capsule.
class SuggestionChip : public KeyboardFocus<QAbstractButton> {
public:
    SuggestionChip(const QString& name, const QIcon& icon, QWidget* parent = nullptr)
        : KeyboardFocus(parent), icon_(icon) {
        setText(name);
        // Qt reads a tooltip as rich text when it looks like markup: another program's name must not.
        setToolTip("Pin " + name.toHtmlEscaped());
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setFont(pixelFont(font(), 13));
    }
    QSize sizeHint() const override { return {10 + 18 + 6 + fontMetrics().horizontalAdvance(text()) + 6 + 14 + 8, 30}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        p.setPen(QPen(showsFocusRing() ? accent(palette()) : primary(palette(), 0.1), showsFocusRing() ? 2 : 1));
        p.setBrush(primary(palette(), isDown() ? 0.14 : underMouse() ? 0.1 : 0.06));
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        const QRectF iconBox(10, (height() - 18) / 2.0, 18, 18);
        if (icon_.isNull())
            paintSymbol(p, Symbol::appDashed, iconBox, primary(palette(), 0.6));
        else
            icon_.paint(&p, iconBox.toRect());
        p.setPen(primary(palette()));
        const int textX = 10 + 18 + 6;
        const int textW = fontMetrics().horizontalAdvance(text());
        p.drawText(QRect(textX, 0, textW, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
        paintSymbol(p, Symbol::plusCircleFillRound, QRectF(textX + textW + 6, (height() - 14) / 2.0, 14, 14),
                    accent(palette()));
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    QIcon icon_;
};

// A row of the add popover: icon and name, highlighted under the pointer.
class CandidateRow : public QAbstractButton {
public:
    CandidateRow(const AppCandidate& c, QWidget* parent = nullptr) : QAbstractButton(parent), icon_(c.icon) {
        setText(c.name);
        setObjectName("candidate");
        setFocusPolicy(Qt::StrongFocus);
        setFont(pixelFont(font(), 13));
    }
    QSize sizeHint() const override { return {200, 28}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (underMouse() || hasFocus()) {
            QColor fill = accent(palette());
            fill.setAlphaF(isDown() ? 0.3 : 0.16);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(QRectF(rect()).adjusted(2, 1, -2, -1), 6, 6);
        }
        const QRectF iconBox(8, (height() - 18) / 2.0, 18, 18);
        if (icon_.isNull())
            paintSymbol(p, Symbol::appDashed, iconBox, primary(palette(), 0.6));
        else
            icon_.paint(&p, iconBox.toRect());
        p.setPen(primary(palette()));
        const QRect textRect(8 + 18 + 8, 0, width() - 8 - 18 - 8 - 8, height());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
    }
    void enterEvent(QEnterEvent*) override { update(); }
    void leaveEvent(QEvent*) override { update(); }

private:
    QIcon icon_;
};

void clearLayout(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            // Later: the widget may be the one whose signal got us here.
            w->hide();
            w->deleteLater();
        } else if (QLayout* inner = item->layout()) {
            clearLayout(inner);
        }
        delete item;
    }
}

std::string entryName(const std::optional<Favourites::Info>& info, const std::string& id) {
    return info && !info->name.empty() ? info->name : id;
}

// Keeps a popup opened below `anchor` on the anchor's screen, measured as shown (its rows
// settle their size then): near the bottom edge it opens above the anchor instead.
void keepOnScreen(QWidget* popup, QWidget* anchor) {
    QScreen* screen = anchor->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = popup->frameGeometry().size();
    QPoint at = popup->pos();
    if (at.y() + size.height() > area.bottom() + 1) at.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - 4 - size.height());
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    popup->move(at);
}

}  // namespace

FavouritesTab::FavouritesTab(std::shared_ptr<SettingsStore> settings, FavouritesServices services, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), services_(std::move(services)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(24);

    auto* intro = new SectionCard("Favourites");
    auto* enabledRow = new ToggleRow("favouritesEnabled", "Show a favourites row");
    intro->body()->addWidget(enabledRow);
    intro->body()->addWidget(descriptionLabel(
        QString("Pin up to %1 apps to a row on top of the directional switcher. While swiping, swipe up to reach "
                "them. Order here is left-to-right in the row.")
            .arg(SettingsStore::maxFavourites)));
    layout->addWidget(intro);

    listCard_ = new CardFrame;
    listCard_->setObjectName("pinnedCard");
    listCard_->body()->setSpacing(10);
    dimming_ = new QGraphicsOpacityEffect(listCard_);
    listCard_->setGraphicsEffect(dimming_);
    listCard_->body()->addWidget(sectionHeaderLabel("Pinned apps"));
    auto* pinnedHolder = new QWidget;
    pinnedBox_ = new QVBoxLayout(pinnedHolder);
    pinnedBox_->setContentsMargins(0, 0, 0, 0);
    pinnedBox_->setSpacing(4);
    listCard_->body()->addWidget(pinnedHolder);

    shelf_ = new QWidget;
    shelf_->setObjectName("suggestionShelf");
    auto* shelfLayout = new QVBoxLayout(shelf_);
    shelfLayout->setContentsMargins(0, 10, 0, 0);
    shelfLayout->setSpacing(12);
    shelfLayout->addWidget(sectionHeaderLabel("Suggested"));
    shelfLayout->addWidget(
        descriptionLabel("Apps you switch to most — worked out entirely on your computer. Click to pin."));
    auto* chipHolder = new QWidget;
    chips_ = new FlowLayout(8, 8, chipHolder);
    shelfLayout->addWidget(chipHolder);
    listCard_->body()->addWidget(shelf_);
    layout->addWidget(listCard_);

    popover_ = new QFrame(this, Qt::Popup);
    popover_->setObjectName("addPopover");
    popover_->setFixedWidth(260);
    popover_->setFrameShape(QFrame::StyledPanel);
    popover_->setAutoFillBackground(true);
    popover_->setAttribute(Qt::WA_WindowPropagation);
    new QVBoxLayout(popover_);

    matchDisabledLook();
    ToggleSwitch* toggle = enabledRow->toggle();
    connect(toggle, &QAbstractButton::toggled, this, [this](bool on) { settings_->favouritesEnabled.set(on); });
    subs_.push_back(settings_->favouritesEnabled.subscribe([this, toggle](const bool& on) {
        const QSignalBlocker block(toggle);
        toggle->setChecked(on);
        // Switched off, the list stays visible for reference but does not react.
        listCard_->setEnabled(on);
        dimming_->setOpacity(on ? 1.0 : kDimmedOpacity);
    }));
    subs_.push_back(settings_->favouriteApps.subscribe([this](const std::vector<std::string>&) { rebuild(); }));
}

FavouritesTab::~FavouritesTab() = default;

void FavouritesTab::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) matchDisabledLook();
    QWidget::changeEvent(event);
}

void FavouritesTab::matchDisabledLook() {
    // Switched off, the list is drawn as it is, only at 45 %: the disabled colours would fade
    // it a second time.
    QPalette p = palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        p.setColor(QPalette::Disabled, r, p.color(QPalette::Active, r));
    }
    listCard_->setPalette(p);
}

void FavouritesTab::showEvent(QShowEvent* event) {
    // Usage counts grow while the window is closed; the shelf shows the latest.
    rebuildShelf();
    QWidget::showEvent(event);
}

void FavouritesTab::rebuild() {
    rebuildPinned();
    rebuildShelf();
}

void FavouritesTab::rebuildPinned() {
    clearLayout(pinnedBox_);
    addButton_ = nullptr;
    const auto pinned = settings_->favouriteApps.get();
    if (pinned.empty()) pinnedBox_->addWidget(descriptionLabel("Nothing pinned yet — add one below."));
    for (std::size_t i = 0; i < pinned.size(); ++i) {
        const std::string& id = pinned[i];
        auto info = services_.favourites ? services_.favourites->appInfo(id) : std::nullopt;
        auto* row = new QWidget;
        row->setObjectName(QString("pinned.%1").arg(i));
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 2, 0, 2);
        h->setSpacing(10);
        h->addWidget(appIcon(iconFor(info ? info->icon : std::nullopt), 22));
        auto* name = new ElidedLabel(QString::fromStdString(entryName(info, id)));
        name->setObjectName("name");
        h->addWidget(name, 1);
        auto* up = new SymbolButton(Symbol::chevronUp, 14);
        up->setObjectName("moveUp");
        up->setToolTip("Move up");
        up->setEnabled(i > 0);
        auto* down = new SymbolButton(Symbol::chevronDown, 14);
        down->setObjectName("moveDown");
        down->setToolTip("Move down");
        down->setEnabled(i + 1 < pinned.size());
        auto* remove = new SymbolButton(Symbol::minusCircleFill, 16, true);
        remove->setObjectName("remove");
        remove->setToolTip("Remove");
        h->addWidget(up);
        h->addWidget(down);
        h->addWidget(remove);
        connect(up, &QAbstractButton::clicked, this, [this, id] { settings_->moveFavourite(id, -1); });
        connect(down, &QAbstractButton::clicked, this, [this, id] { settings_->moveFavourite(id, 1); });
        connect(remove, &QAbstractButton::clicked, this, [this, id] { settings_->removeFavourite(id); });
        pinnedBox_->addWidget(row);
    }
    if (pinned.size() >= static_cast<std::size_t>(SettingsStore::maxFavourites)) {
        QLabel* limit = descriptionLabel(
            QString("Maximum of %1 reached — remove one to add another.").arg(SettingsStore::maxFavourites));
        limit->setObjectName("limitText");
        pinnedBox_->addWidget(limit);
    } else {
        addButton_ = new QPushButton("Add app…");
        addButton_->setObjectName("addApp");
        setSymbolIcon(addButton_, Symbol::plus, 12);
        connect(addButton_, &QPushButton::clicked, this, &FavouritesTab::openPopover);
        auto* line = new QHBoxLayout;
        line->setContentsMargins(0, 4, 0, 0);
        line->addWidget(addButton_);
        line->addStretch(1);
        pinnedBox_->addLayout(line);
    }
}

void FavouritesTab::rebuildShelf() {
    clearLayout(chips_);
    const auto& pinned = settings_->favouriteApps.get();
    std::vector<std::string> suggested;
    if (services_.favourites && pinned.size() < static_cast<std::size_t>(SettingsStore::maxFavourites)) {
        const std::set<std::string> excluding(pinned.begin(), pinned.end());
        suggested = UsageTracker::suggestions(settings_->preferences(), *services_.favourites, kShelfLimit, excluding,
                                              services_.ownDesktopId);
    }
    for (const std::string& id : suggested) {
        auto info = services_.favourites->appInfo(id);
        auto* chip =
            new SuggestionChip(QString::fromStdString(entryName(info, id)), iconFor(info ? info->icon : std::nullopt));
        chip->setObjectName(QString::fromStdString("chip." + id));
        connect(chip, &QAbstractButton::clicked, this, [this, id] { settings_->addFavourite(id); });
        chips_->addWidget(chip);
    }
    shelf_->setVisible(!suggested.empty());
}

std::vector<AppCandidate> FavouritesTab::candidates() {
    std::vector<AppCandidate> result;
    if (!services_.favourites) return result;
    const auto& list = settings_->favouriteApps.get();
    const std::set<std::string> pinned(list.begin(), list.end());
    std::set<std::string> seen;
    for (const std::string& id : UsageTracker::suggestions(settings_->preferences(), *services_.favourites,
                                                           kPopoverSuggestionLimit, pinned, services_.ownDesktopId)) {
        if (seen.count(id)) continue;
        auto info = services_.favourites->appInfo(id);
        if (!info) continue;
        seen.insert(id);
        result.push_back({id, QString::fromStdString(entryName(info, id)), iconFor(info->icon)});
    }
    std::vector<AppCandidate> running;
    if (services_.workspace) {
        for (const RunningApp& app : services_.workspace->runningApps()) {
            if (!app.regular || !app.desktopId) continue;
            const std::string& id = *app.desktopId;
            if (id == services_.ownDesktopId || pinned.count(id) || seen.count(id)) continue;
            seen.insert(id);
            running.push_back({id, QString::fromStdString(app.name.value_or(id)), iconFor(app.icon)});
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(running.begin(), running.end(), [&](const AppCandidate& a, const AppCandidate& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    result.insert(result.end(), running.begin(), running.end());
    return result;
}

void FavouritesTab::openPopover() {
    auto* layout = static_cast<QVBoxLayout*>(popover_->layout());
    clearLayout(layout);
    layout->setContentsMargins(8, 10, 8, 8);
    layout->setSpacing(6);
    QLabel* title = makeLabel("Add a favourite", 13, QFont::DemiBold);
    title->setContentsMargins(6, 0, 0, 0);
    layout->addWidget(title);
    layout->addWidget(makeDivider());

    const auto list = candidates();
    if (list.empty()) {
        QLabel* none = makeLabel("No other open apps to add.", 13, QFont::Normal, true);
        none->setObjectName("noCandidates");
        none->setContentsMargins(6, 4, 6, 4);
        layout->addWidget(none);
    } else {
        auto* rows = new QWidget;
        auto* v = new QVBoxLayout(rows);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(0);
        for (const AppCandidate& c : list) {
            auto* row = new CandidateRow(c);
            const std::string id = c.desktopId;
            connect(row, &QAbstractButton::clicked, this, [this, id] {
                settings_->addFavourite(id);
                popover_->hide();
            });
            v->addWidget(row);
        }
        auto* scroll = new QScrollArea;
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(rows);
        scroll->setFixedHeight(std::min(240, rows->sizeHint().height()));
        layout->addWidget(scroll);
    }
    layout->addWidget(makeDivider());
    auto* browse = new QPushButton("Browse…");
    browse->setObjectName("browse");
    browse->setFlat(true);
    setSymbolIcon(browse, Symbol::folder, 14);
    connect(browse, &QPushButton::clicked, this, &FavouritesTab::browse);
    auto* line = new QHBoxLayout;
    line->addWidget(browse);
    line->addStretch(1);
    layout->addLayout(line);

    popover_->adjustSize();
    QWidget* anchor = addButton_ ? static_cast<QWidget*>(addButton_) : this;
    popover_->move(anchor->mapToGlobal(QPoint(0, anchor->height() + 4)));
    popover_->show();
    keepOnScreen(popover_, anchor);
}

void FavouritesTab::browse() {
    popover_->hide();
    if (!services_.favourites) return;
    // The chooser runs modally; the store ignores an app already pinned or one past the limit.
    if (auto id = services_.favourites->pickApp()) settings_->addFavourite(*id);
}

}  // namespace trellick::ui
