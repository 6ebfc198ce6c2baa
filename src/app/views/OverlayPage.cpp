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

}  // namespace

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

}  // namespace trellick
