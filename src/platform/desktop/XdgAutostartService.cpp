#include "platform/desktop/XdgAutostartService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <map>

#include "platform/desktop/FileUtil.h"

namespace trellick::desktop {
namespace {

// The escapes of a desktop entry's string values.
QString escapeString(const QString& value) {
    QString escaped;
    for (QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

QString unescapeString(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            QChar e = value[++i];
            out += e == QLatin1Char('s')   ? QChar(' ')
                   : e == QLatin1Char('n') ? QChar('\n')
                   : e == QLatin1Char('t') ? QChar('\t')
                   : e == QLatin1Char('r') ? QChar('\r')
                                           : e;
        } else {
            out += c;
        }
    }
    return out;
}

// The program an Exec value runs: its first argument, unquoted.
QString execProgram(const QString& exec) {
    QString line = unescapeString(exec).trimmed(), program;
    if (line.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < line.size() && line[i] != QLatin1Char('"'); ++i) {
            if (line[i] == QLatin1Char('\\') && i + 1 < line.size()) ++i;
            program += line[i];
        }
    } else {
        program = line.section(QRegularExpression(QStringLiteral("\\s")), 0, 0);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// The first `name` in `dirs` that can run.
QString findIn(const QString& name, const QStringList& dirs) {
    for (const QString& dir : dirs) {
        QFileInfo candidate(dir + QLatin1Char('/') + name);
        if (candidate.isFile() && candidate.isExecutable()) return candidate.absoluteFilePath();
    }
    return {};
}

// The keys of the entry's [Desktop Entry] group, as written (escapes kept); empty when the
// file cannot be read.
std::optional<std::map<QString, QString>> mainGroup(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    std::map<QString, QString> keys;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inMainGroup && eq >= 0) keys.try_emplace(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return keys;
}

// Present and not switched off.
bool enabledIn(const std::map<QString, QString>& keys) {
    auto is = [&](const char* key, const char* value) {
        auto it = keys.find(QLatin1String(key));
        return it != keys.end() && it->second == QLatin1String(value);
    };
    return !is("Hidden", "true") && !is("X-GNOME-Autostart-enabled", "false");
}

}  // namespace

// Quoted when it holds a reserved character, with ", `, $
// and \ escaped inside the quotes, then the string escapes applied on top, and % doubled so
// it is not read as a field code.
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
    return escapeString(out).replace(QLatin1Char('%'), QStringLiteral("%%"));
}

XdgAutostartService::XdgAutostartService() : XdgAutostartService(defaultEntryPath(), runningExecutable()) {}

XdgAutostartService::XdgAutostartService(QString entryPath, QString executable, QStringList loginPath)
    : entryPath_(std::move(entryPath)), executable_(std::move(executable)), loginPath_(std::move(loginPath)) {}

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

QStringList XdgAutostartService::defaultLoginPath() {
    return {QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
}

QString XdgAutostartService::launchCommand(const QString& executable, const QStringList& loginPath) {
    QString name = QStringLiteral("trellick");
    QString found = findIn(name, loginPath);
    QString self = QFileInfo(executable).canonicalFilePath();
    if (!found.isEmpty() && !self.isEmpty() && QFileInfo(found).canonicalFilePath() == self) return name;
    return executable;
}

QByteArray XdgAutostartService::desktopEntry(const QString& command) {
    QString text = QStringLiteral(
                       "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Trellick\n"
                       "Comment=Switch windows with a three-finger swipe\n"
                       "Exec=%1\n"
                       "TryExec=%2\n"
                       "Icon=io.github.trellick.Trellick\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n")
                       .arg(execArgument(command), escapeString(command));
    return text.toUtf8();
}

bool XdgAutostartService::isEnabled() const {
    auto keys = mainGroup(entryPath_);
    return keys && enabledIn(*keys);
}

Result<> XdgAutostartService::registerItem() {
    if (executable_.isEmpty() || !QFileInfo(executable_).isAbsolute()) {
        return Error{"cannot tell where the Trellick program is installed"};
    }
    return writeFileAtomically(entryPath_, desktopEntry(launchCommand(executable_, loginPath_)), 0644);
}

Result<> XdgAutostartService::repairIfStale() {
    auto keys = mainGroup(entryPath_);
    if (!keys || !enabledIn(*keys)) return {};
    // A name is looked up as the login session will, and as this process does: an entry
    // someone wrote for a folder of their own PATH is theirs to keep.
    QStringList path = loginPath_ + qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    auto runs = [&](const QString& program) {
        if (program.isEmpty()) return false;
        if (QFileInfo(program).isAbsolute()) return QFileInfo(program).isFile() && QFileInfo(program).isExecutable();
        return !program.contains(QLatin1Char('/')) && !findIn(program, path).isEmpty();
    };
    auto exec = keys->find(QStringLiteral("Exec"));
    auto tryExec = keys->find(QStringLiteral("TryExec"));
    bool stale = exec == keys->end() || !runs(execProgram(exec->second)) ||
                 (tryExec != keys->end() && !runs(unescapeString(tryExec->second)));
    return stale ? registerItem() : Result<>{};
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
