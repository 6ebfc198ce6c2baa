#include "platform/desktop/FileUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <sys/stat.h>
#include <cerrno>
#include <cstring>

namespace trellick::desktop {

std::optional<std::string> makeDirectories(const QString& dir) {
    QString path = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    QStringList missing;
    for (QString p = path; !QFileInfo::exists(p); p = QFileInfo(p).path()) {
        missing.prepend(p);
        if (p == QFileInfo(p).path()) break;  // reached the root
    }
    for (const auto& p : missing) {
        QByteArray native = QFile::encodeName(p);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
            return "could not create " + p.toStdString() + ": " + std::strerror(errno);
        }
    }
    if (!QFileInfo(path).isDir()) return "could not create " + path.toStdString() + ": " + std::strerror(ENOTDIR);
    return std::nullopt;
}

std::optional<std::string> writeFileAtomically(const QString& path, const QByteArray& data, int mode) {
    if (auto error = makeDirectories(QFileInfo(path).path())) return error;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return "could not write " + path.toStdString() + ": " + file.errorString().toStdString();
    }
    // QSaveFile would carry over the old file's mode (or the umask's); the mode is ours to set.
    if (::fchmod(file.handle(), static_cast<mode_t>(mode)) != 0) {
        int err = errno;
        file.cancelWriting();
        return "could not set the mode of " + path.toStdString() + ": " + std::strerror(err);
    }
    if (file.write(data) != data.size() || !file.commit()) {
        return "could not write " + path.toStdString() + ": " + file.errorString().toStdString();
    }
    return std::nullopt;
}

}  // namespace trellick::desktop
