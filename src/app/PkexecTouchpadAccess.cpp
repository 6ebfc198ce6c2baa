#include "app/PkexecTouchpadAccess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace trellick {

PkexecTouchpadAccess::PkexecTouchpadAccess(QString pkexec, QString helper, QObject* parent)
    : QObject(parent), pkexec_(std::move(pkexec)), helper_(std::move(helper)) {}

QString PkexecTouchpadAccess::findPkexec() {
    return QStandardPaths::findExecutable("pkexec");
}

QString PkexecTouchpadAccess::findHelper() {
    for (const QString& dir : {QCoreApplication::applicationDirPath(), QStringLiteral(TRELLICK_LIBEXEC_DIR)}) {
        QFileInfo helper(dir + "/" + helperName);
        if (helper.isFile() && helper.isExecutable()) return helper.absoluteFilePath();
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

}  // namespace trellick
