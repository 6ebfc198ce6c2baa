#include "platform/desktop/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <sys/stat.h>
#include <cerrno>
#include <cstring>

namespace trellick::desktop {

Result<> makeDirectories(const QString& dir) {
    QString path = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    QStringList missing;
    for (QString p = path; !QFileInfo::exists(p); p = QFileInfo(p).path()) {
        missing.prepend(p);
        if (p == QFileInfo(p).path()) break;  // reached the root
    }
    for (const auto& p : missing) {
        QByteArray native = QFile::encodeName(p);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
            int err = errno;
            return Error{"could not create " + p.toStdString() + ": " + std::strerror(err), err};
        }
    }
    if (!QFileInfo(path).isDir())
        return Error{"could not create " + path.toStdString() + ": " + std::strerror(ENOTDIR), ENOTDIR};
    return {};
}

Result<> writeFileAtomically(const QString& path, const QByteArray& data, int mode) {
    if (auto made = makeDirectories(QFileInfo(path).path()); !made) return made;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Error{"could not write " + path.toStdString() + ": " + file.errorString().toStdString()};
    }
    // QSaveFile would carry over the old file's mode (or the umask's); the mode is ours to set.
    if (::fchmod(file.handle(), static_cast<mode_t>(mode)) != 0) {
        int err = errno;
        file.cancelWriting();
        return Error{"could not set the mode of " + path.toStdString() + ": " + std::strerror(err), err};
    }
    if (file.write(data) != data.size() || !file.commit()) {
        return Error{"could not write " + path.toStdString() + ": " + file.errorString().toStdString()};
    }
    return {};
}

}  // namespace trellick::desktop
