#include "app/views/AboutView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/BuildInfo.h"
#include "app/views/Theme.h"
#include "app/widgets/Widgets.h"

namespace trellick {

using namespace ui;

namespace {

constexpr int kWidth = 360;

std::optional<std::string> known(const char* value) {
    std::string s = value ? value : "";
    if (s.empty() || s == "?") return std::nullopt;
    return s;
}

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

}  // namespace

VersionInfo VersionInfo::fromBuild() {
    return {known(buildinfo::version), known(buildinfo::build)};
}

QString AboutView::versionLine(const VersionInfo& info) {
    auto text = [](const std::optional<std::string>& v) {
        return v && !v->empty() ? QString::fromStdString(*v) : QString("?");
    };
    return "Version " + text(info.version) + " (" + text(info.build) + ")";
}

AboutView::AboutView(const std::shared_ptr<AppearanceSource>& appearance, const VersionInfo& version, QWidget* parent)
    : QWidget(parent) {
    setObjectName("aboutView");
    // Painted in its own palette: the window around it keeps the application's.
    setAutoFillBackground(true);
    setWindowTitle("About Trellick");
    setFont(pixelFont(font(), 13));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(10);
    QLabel* emoji = centred(new QLabel(QString::fromUtf8("💅")));
    emoji->setFont(emojiFont(54));
    layout->addWidget(emoji);
    layout->addWidget(centred(makeLabel("Trellick", 22, QFont::Bold)));
    QLabel* line = centred(makeLabel(versionLine(version), 12, QFont::Normal, true));
    line->setObjectName("version");
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(line);
    layout->addWidget(centred(makeLabel("Switch to your last window or app with a three‑finger touchpad swipe.", 12)));
    layout->addSpacing(2);
    layout->addWidget(makeDivider());
    layout->addSpacing(2);
    layout->addWidget(symbolLine(Symbol::lockShield,
                                 "Runs entirely on your computer — no network, no tracking, nothing collected.", 12,
                                 true, kWidth - 56));
    QLabel* licence =
        centred(makeLabel("Free software under the GNU General Public License, version 2 or later "
                          "(GPL-2.0-or-later).",
                          11, QFont::Normal, true));
    licence->setObjectName("licence");
    layout->addWidget(licence);

    look_ = followAppearance(this, appearance);
    setFixedSize(kWidth, layout->totalHeightForWidth(kWidth));
}

AboutView::~AboutView() = default;

}  // namespace trellick
