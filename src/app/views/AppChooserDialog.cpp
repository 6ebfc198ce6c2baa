#include "app/views/AppChooserDialog.h"

#include <QApplication>
#include <QCollator>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/views/Theme.h"
#include "overlay/Symbols.h"

namespace trellick {

namespace {
constexpr int kIdRole = Qt::UserRole;
constexpr int kPlaceholderRole = Qt::UserRole + 1;
}  // namespace

AppChooserDialog::AppChooserDialog(std::vector<DesktopEntry> entries, QWidget* parent)
    : QDialog(parent), filter_(new QLineEdit), list_(new QListWidget), pin_(nullptr) {
    setObjectName("appChooser");
    setWindowTitle("Choose an app to pin");
    resize(420, 480);

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(), [&](const DesktopEntry& a, const DesktopEntry& b) {
        const int byName = collator.compare(QString::fromStdString(a.name), QString::fromStdString(b.name));
        return byName != 0 ? byName < 0 : a.id < b.id;
    });

    filter_->setObjectName("filter");
    filter_->setPlaceholderText("Filter applications");
    filter_->setClearButtonEnabled(true);
    filter_->installEventFilter(this);

    list_->setObjectName("applications");
    list_->setIconSize(QSize(24, 24));
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const DesktopEntry& e : entries) {
        const QString name = QString::fromStdString(e.name.empty() ? e.id : e.name);
        QIcon icon = ui::iconFor(e.icon);
        auto* item = new QListWidgetItem(icon, name, list_);
        item->setData(kPlaceholderRole, icon.isNull());
        item->setData(kIdRole, QString::fromStdString(e.id));
        item->setToolTip(QString::fromStdString(e.id).toHtmlEscaped());  // shown as written, never as markup
    }

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QDialogButtonBox::Cancel);
    pin_ = buttons->addButton("Pin", QDialogButtonBox::AcceptRole);
    pin_->setObjectName("pin");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);
    layout->addWidget(filter_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    // Only now does the button know its dialog; made default earlier, Cancel would take Return.
    pin_->setDefault(true);

    connect(filter_, &QLineEdit::textChanged, this, &AppChooserDialog::applyFilter);
    connect(list_, &QListWidget::currentItemChanged, this, [this] { updatePinButton(); });
    connect(list_, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (chosenId()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    applyFilter(QString());
    paintPlaceholders();
    filter_->setFocus();
}

void AppChooserDialog::paintPlaceholders() {
    const QIcon placeholder = symbolIcon(Symbol::appDashed, ui::primary(palette(), 0.6), 24);
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->data(kPlaceholderRole).toBool()) list_->item(i)->setIcon(placeholder);
    }
}

void AppChooserDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) paintPlaceholders();
    QDialog::changeEvent(event);
}

std::optional<std::string> AppChooserDialog::chosenId() const {
    QListWidgetItem* item = list_->currentItem();
    if (!item || item->isHidden()) return std::nullopt;
    return item->data(kIdRole).toString().toStdString();
}

void AppChooserDialog::applyFilter(const QString& text) {
    const QString wanted = text.trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const bool match = wanted.isEmpty() || item->text().contains(wanted, Qt::CaseInsensitive) ||
                           item->data(kIdRole).toString().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && !firstShown) firstShown = item;
    }
    // Keep the selection on a visible application, so Return always pins what is shown.
    QListWidgetItem* current = list_->currentItem();
    if (!current || current->isHidden()) list_->setCurrentItem(firstShown);
    if (list_->currentItem()) list_->scrollToItem(list_->currentItem());
    updatePinButton();
}

void AppChooserDialog::updatePinButton() {
    pin_->setEnabled(chosenId().has_value());
}

bool AppChooserDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == filter_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // Typing stays in the filter; moving through the list works from there too.
            QApplication::sendEvent(list_, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

DialogAppChooser::DialogAppChooser(std::shared_ptr<DesktopEntries> entries,
                                   std::shared_ptr<AppearanceSource> appearance)
    : entries_(std::move(entries)), appearance_(std::move(appearance)) {}

std::optional<std::string> DialogAppChooser::chooseApp() {
    if (!entries_) return std::nullopt;
    AppChooserDialog dialog(entries_->installed(), QApplication::activeWindow());
    Subscription look = ui::followAppearance(&dialog, appearance_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosenId();
}

}  // namespace trellick
