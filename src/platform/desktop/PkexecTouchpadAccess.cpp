#include "platform/desktop/PkexecTouchpadAccess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace trellick::desktop {

PkexecTouchpadAccess::PkexecTouchpadAccess(QString pkexec, QString helper, QObject* parent)
    : QObject(parent), pkexec_(std::move(pkexec)), helper_(std::move(helper)) {}

QString PkexecTouchpadAccess::findPkexec() {
    return QStandardPaths::findExecutable("pkexec");
}

QString PkexecTouchpadAccess::findHelper() {
    // Beside the program in a build tree; else where an installation keeps it, found from the
    // program's own folder first, so an installation under another prefix finds its own helper.
    const QString self = QCoreApplication::applicationDirPath();
    for (const QString& dir :
         {self, self + QStringLiteral("/" TRELLICK_LIBEXEC_FROM_BINDIR), QStringLiteral(TRELLICK_LIBEXEC_DIR)}) {
        QFileInfo helper(dir + "/" + helperName);
        // Without "..": pkexec matches the polkit action by the literal path.
        if (helper.isFile() && helper.isExecutable()) return QDir::cleanPath(helper.absoluteFilePath());
    }
    return {};
}

void PkexecTouchpadAccess::grant(std::function<void(TouchpadGrant)> done) {
    using State = TouchpadGrant::State;
    if (pkexec_.isEmpty() || !QFileInfo(pkexec_).isExecutable()) {
        done({State::unavailable, "pkexec is not installed, so Trellick cannot ask for root rights."});
        return;
    }
    if (helper_.isEmpty() || !QFileInfo(helper_).isExecutable()) {
        done({State::unavailable, std::string("The helper ") + helperName + " is not installed."});
        return;
    }
    auto* process = new QProcess(this);
    process->setProgram(pkexec_);
    process->setArguments({helper_});
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto finish = [process, done](TouchpadGrant outcome) {
        process->deleteLater();
        done(std::move(outcome));
    };
    connect(process, &QProcess::errorOccurred, this, [process, finish](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // a crash is reported by finished()
        finish({State::unavailable, "pkexec could not be started: " + process->errorString().toStdString()});
    });
    connect(process, &QProcess::finished, this, [process, finish](int code, QProcess::ExitStatus status) {
        std::string why = QString::fromLocal8Bit(process->readAllStandardError()).trimmed().toStdString();
        if (status == QProcess::NormalExit && code == 0) return finish({State::granted, ""});
        // pkexec: 126 the user dismissed the dialog, 127 not authorised (or no authentication agent).
        if (status == QProcess::NormalExit && code == 126)
            return finish({State::refused, "The authentication was dismissed."});
        if (status == QProcess::NormalExit && code == 127)
            return finish({State::refused, why.empty() ? "Not authorised to grant touchpad access." : why});
        finish({State::failed, why.empty() ? "The helper failed." : why});
    });
    process->start();
}

}  // namespace trellick::desktop
