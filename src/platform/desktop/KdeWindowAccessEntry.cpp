#include "platform/desktop/KdeWindowAccessEntry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/desktop/FileUtil.h"
#include "platform/desktop/XdgAutostartService.h"

namespace trellick::desktop {

QString KdeWindowAccessEntry::fileName(const QString& program) {
    const QByteArray hash = QCryptographicHash::hash(program.toUtf8(), QCryptographicHash::Md5).toHex().left(8);
    return QStringLiteral("io.github.trellick.Trellick-%1.desktop").arg(QString::fromLatin1(hash));
}

QString KdeWindowAccessEntry::path(const QString& program) {
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/applications/") + fileName(program);
}

Result<> KdeWindowAccessEntry::write(const QString& program) {
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Trellick (run from its build)\n"
                             "Exec=%1\n"
                             "Icon=io.github.trellick.Trellick\n"
                             "NoDisplay=true\n"
                             "X-KDE-Wayland-Interfaces=org_kde_plasma_window_management\n")
                             .arg(execArgument(program));
    const QString file = path(program);
    if (auto made = makeDirectories(QFileInfo(file).path()); !made) return made;
    return writeFileAtomically(file, text.toUtf8(), 0644);
}

}  // namespace trellick::desktop
