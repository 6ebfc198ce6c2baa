#include "app/shell/UpdateDialog.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>

namespace trellick {

QMessageBox* makeUpdateDialog(const desktop::UpdateCheckResult& result, const QString& currentVersion) {
    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle("Check for Updates");
    box->setObjectName("updateDialog");
    using Kind = desktop::UpdateCheckResult::Kind;
    switch (result.kind) {
    case Kind::newer: {
        box->setIcon(QMessageBox::Information);
        box->setText(QString("Trellick %1 is available").arg(result.version));
        box->setInformativeText(QString("You have version %1.").arg(currentVersion));
        // Only a web page: a file: or custom-scheme address would start whatever handles it.
        if (result.page.isValid() && (result.page.scheme() == "https" || result.page.scheme() == "http")) {
            QPushButton* open = box->addButton("Open Release Page", QMessageBox::AcceptRole);
            open->setObjectName("openReleasePage");
            QUrl page = result.page;
            QObject::connect(open, &QPushButton::clicked, [page] { QDesktopServices::openUrl(page); });
        }
        box->addButton(QMessageBox::Close);
        break;
    }
    case Kind::upToDate:
        box->setIcon(QMessageBox::Information);
        box->setText("You're up to date");
        box->setInformativeText(QString("Trellick %1 is the newest version.").arg(currentVersion));
        box->addButton(QMessageBox::Ok);
        break;
    case Kind::failed:
        box->setIcon(QMessageBox::Warning);
        box->setText("Could not check for updates");
        box->setInformativeText(result.reason);
        box->addButton(QMessageBox::Ok);
        break;
    }
    // Parts of these texts come from the network: shown as they are, never as markup or links.
    for (auto* label : box->findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
    }
    return box;
}

}  // namespace trellick
