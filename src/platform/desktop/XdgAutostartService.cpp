#include "platform/desktop/XdgAutostartService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/desktop/FileUtil.h"

namespace trellick::desktop {
namespace {

// One argument of an Exec line: quoted when it holds a reserved character, with ", `, $
// and \ escaped inside the quotes, then the general string escapes applied on top, and %
// doubled so it is not read as a field code.
QString execArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (QChar c : arg) quote = quote || reserved.contains(c);
    QString out;
    if (quote) {
        out += QLatin1Char('"');
        for (QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
            }
            out += c;
        }
        out += QLatin1Char('"');
    } else {
        out = arg;
    }
    QString escaped;
    for (QChar c : out) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else if (c == QLatin1Char('%'))
            escaped += QStringLiteral("%%");
        else
            escaped += c;
    }
    return escaped;
}

}  // namespace

XdgAutostartService::XdgAutostartService() : XdgAutostartService(defaultEntryPath(), runningExecutable()) {}

XdgAutostartService::XdgAutostartService(QString entryPath, QString executable)
    : entryPath_(std::move(entryPath)), executable_(std::move(executable)) {}

QString XdgAutostartService::defaultEntryPath() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/trellick.desktop");
}

QString XdgAutostartService::runningExecutable() {
    // An AppImage runs from a mount that is gone at the next login; the image itself stays.
    QString appImage = qEnvironmentVariable("APPIMAGE");
    if (!appImage.isEmpty() && QFileInfo(appImage).isAbsolute()) return appImage;
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

QByteArray XdgAutostartService::desktopEntry(const QString& executable) {
    QString text = QStringLiteral(
                       "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Trellick\n"
                       "Comment=Switch windows with a three-finger swipe\n"
                       "Exec=%1\n"
                       "Icon=trellick\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n")
                       .arg(execArgument(executable));
    return text.toUtf8();
}

bool XdgAutostartService::isEnabled() const {
    QFile file(entryPath_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup) continue;
        int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Hidden") && value == QLatin1String("true")) return false;
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")) return false;
    }
    return true;
}

Result<> XdgAutostartService::registerItem() {
    if (executable_.isEmpty() || !QFileInfo(executable_).isAbsolute()) {
        return Error{"cannot tell where the Trellick program is installed"};
    }
    return writeFileAtomically(entryPath_, desktopEntry(executable_), 0644);
}

Result<> XdgAutostartService::unregisterItem() {
    QByteArray native = QFile::encodeName(entryPath_);
    if (::unlink(native.constData()) != 0 && errno != ENOENT) {
        int err = errno;
        return Error{"could not remove " + entryPath_.toStdString() + ": " + std::strerror(err), err};
    }
    return {};
}

}  // namespace trellick::desktop
