#include "app/views/OnboardingView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/views/Theme.h"
#include "app/widgets/Widgets.h"

namespace trellick {

using namespace ui;

namespace {
constexpr int kWidth = 460;

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}
}  // namespace

OnboardingView::OnboardingView(Dependencies deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
    setObjectName("onboardingView");
    // Painted in its own palette: the window around it keeps the application's.
    setAutoFillBackground(true);
    setWindowTitle("Welcome");
    setFont(pixelFont(font(), 13));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    layout->setSpacing(16);

    QLabel* emoji = centred(new QLabel(QString::fromUtf8("💅")));
    emoji->setFont(emojiFont(48));
    layout->addWidget(emoji);
    layout->addWidget(centred(makeLabel("Welcome to Trellick", 22, QFont::Bold)));
    layout->addWidget(
        centred(makeLabel("Swipe three fingers sideways on your touchpad to flip back to your last "
                          "window — like Alt-Tab, but with a swipe.",
                          13, QFont::Normal, true)));
    layout->addWidget(symbolLine(Symbol::lockShield,
                                 "Everything runs locally. No network, no tracking, nothing leaves your computer.", 12,
                                 false, kWidth - 64));
    layout->addWidget(makeDivider());

    layout->addLayout(buildPermission());
    if (deps_.onAllowWindowManagement) layout->addLayout(buildWindowManagementOffer());
    layout->addWidget(makeDivider());

    auto* login = new ToggleRow("launchAtLogin", "Launch Trellick when I log in", Symbol::power);
    layout->addWidget(login);

    finish_ = new AccentButton;
    finish_->setObjectName("finish");
    finish_->setMinimumWidth(120);
    auto* end = new QHBoxLayout;
    end->addStretch(1);
    end->addWidget(finish_);
    layout->addLayout(end);

    follow(login->toggle());
    subs_.push_back(followAppearance(this, deps_.appearance));
    refit();
}

OnboardingView::~OnboardingView() = default;

QLayout* OnboardingView::buildPermission() {
    auto* permission = new QVBoxLayout;
    permission->setSpacing(10);
    QLabel* why = makeLabel(QString(), 12);
    why->setTextFormat(Qt::RichText);
    why->setText(
        emphasisToHtml("To read your touchpad, Trellick needs **touchpad access** — Linux keeps raw "
                       "touchpad data behind this permission."));
    why->setWordWrap(true);
    permission->addWidget(why);
    auto* state = new QHBoxLayout;
    state->setSpacing(8);
    mark_ = new SymbolView(Symbol::exclamationmarkCircle, 18, statusOrange());
    mark_->setObjectName("touchpadMark");
    grantButton_ = new QPushButton("Grant Touchpad Access…");
    grantButton_->setObjectName("grant");
    granted_ = makeLabel("Touchpad access granted", 13);
    granted_->setObjectName("granted");
    noTouchpad_ = makeLabel(
        "No touchpad found. You can plug in an external touchpad at any time: Trellick starts using it at once.", 13);
    noTouchpad_->setObjectName("noTouchpad");
    noTouchpad_->setWordWrap(true);
    state->addWidget(mark_, 0, Qt::AlignTop);
    state->addWidget(grantButton_);
    state->addWidget(granted_);
    state->addWidget(noTouchpad_, 1);
    state->addStretch(1);
    permission->addLayout(state);
    manualGrant_ = new ManualGrantBox;
    manualGrant_->hide();
    permission->addWidget(manualGrant_);
    return permission;
}

QLayout* OnboardingView::buildWindowManagementOffer() {
    auto* offer = new QVBoxLayout;
    offer->setSpacing(10);
    QLabel* why = makeLabel(
        "KWin lets Trellick see and switch windows only when a desktop entry names this copy of Trellick.", 12);
    why->setObjectName("allowWindowManagement.why");
    why->setWordWrap(true);
    auto* allow = new QPushButton("Allow Window Control");
    allow->setObjectName("allowWindowManagement");
    auto* line = new QHBoxLayout;
    line->addWidget(allow);
    line->addStretch(1);
    offer->addWidget(why);
    offer->addLayout(line);
    QPointer<QLabel> label = why;
    connect(allow, &QPushButton::clicked, this, [this, label] {
        deps_.onAllowWindowManagement([label](const Result<>& done) {
            if (label && !done) label->setText(QString::fromStdString(done.error().reason));
        });
    });
    subs_.push_back(deps_.diagnostics->windowControlAvailable.subscribe([this, why, allow](const bool& available) {
        why->setVisible(!available);
        allow->setVisible(!available);
        refit();
    }));
    return offer;
}

void OnboardingView::follow(ToggleSwitch* toggle) {
    connect(grantButton_, &QPushButton::clicked, this, [this] { grant(); });
    connect(finish_, &QPushButton::clicked, this, [this] {
        if (deps_.onDone) deps_.onDone();
    });
    connect(toggle, &QAbstractButton::toggled, this, [this](bool on) { deps_.settings->launchAtLogin.set(on); });
    subs_.push_back(deps_.settings->launchAtLogin.subscribe([toggle](const bool& on) {
        const QSignalBlocker block(toggle);
        toggle->setChecked(on);
    }));
    subs_.push_back(deps_.diagnostics->touchpadsInaccessible.subscribe([this](const std::int64_t&) { showAccess(); }));
    // A touchpad plugged in or removed while the window is open.
    subs_.push_back(
        deps_.diagnostics->multitouchDevicesActive.subscribe([this](const std::int64_t&) { showAccess(); }));
}

void OnboardingView::showAccess() {
    const bool refused = deps_.diagnostics->touchpadsInaccessible.get() > 0;
    const bool ok = !refused && deps_.diagnostics->multitouchDevicesActive.get() > 0;
    mark_->setSymbol(ok ? Symbol::checkmarkCircleFill : Symbol::exclamationmarkCircle,
                     ok ? statusGreen() : statusOrange());
    grantButton_->setVisible(refused);
    granted_->setVisible(ok);
    noTouchpad_->setVisible(!refused && !ok);
    finish_->setText(ok ? "Get Started" : "Done");
    if (!refused) manualGrant_->hide();
    refit();
}

void OnboardingView::refit() {
    setFixedSize(kWidth, layout()->totalHeightForWidth(kWidth));
}

void OnboardingView::grant() {
    if (!deps_.onGrant) {
        manualGrant_->show();
        refit();
        return;
    }
    QPointer<OnboardingView> self = this;
    deps_.onGrant([self](GrantOutcome outcome) {
        if (!self || outcome != GrantOutcome::cannotRun) return;
        if (self->deps_.diagnostics->touchpadsInaccessible.get() == 0) return;
        self->manualGrant_->show();
        self->refit();
    });
}

void OnboardingView::keyPressEvent(QKeyEvent* event) {
    // Return is the window's default action wherever the focus is.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        finish_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace trellick
