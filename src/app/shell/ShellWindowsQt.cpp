#include "app/shell/ShellWindowsQt.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "app/shell/TrayIcon.h"

namespace trellick {

QtShellWindows::QtShellWindows(ContentFactory content, WindowPresenter present)
    : content_(std::move(content)), present_(std::move(present)) {}

QtShellWindows::~QtShellWindows() = default;

QString QtShellWindows::title(ShellWindow window) {
    switch (window) {
    case ShellWindow::settings:
        return "Settings";
    case ShellWindow::about:
        return "About Trellick";
    case ShellWindow::welcome:
        return "Welcome";
    }
    return {};
}

void QtShellWindows::build(ShellWindow which) {
    if (windows_.count(which)) return;
    auto frame = std::make_unique<QWidget>();
    frame->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    frame->setWindowTitle(title(which));
    frame->addActions(actions_);
    frame->setWindowIcon(applicationIcon());
    // Escape and Ctrl+W close the window, as in the desktop's own dialogs.
    auto* closing = new QAction(frame.get());
    closing->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    closing->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(closing, &QAction::triggered, frame.get(), &QWidget::close);
    frame->addAction(closing);
    frame->setObjectName(which == ShellWindow::settings ? "settingsWindow"
                         : which == ShellWindow::about  ? "aboutWindow"
                                                        : "welcomeWindow");
    auto* layout = new QVBoxLayout(frame.get());
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* content = content_ ? content_(which) : nullptr) layout->addWidget(content);
    if (which == ShellWindow::settings) {
        frame->setFixedSize(720, 520);
    } else {
        layout->setSizeConstraint(QLayout::SetFixedSize);  // the content's own fitting size
        frame->adjustSize();
    }
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->availableGeometry();
        frame->move(area.center() - QPoint(frame->width() / 2, frame->height() / 2));
    }
    windows_[which] = std::move(frame);
}

void QtShellWindows::present(ShellWindow which) {
    if (QWidget* w = window(which)) present_(w);
}

void QtShellWindows::close(ShellWindow which) {
    if (QWidget* w = window(which)) w->close();
}

bool QtShellWindows::isVisible(ShellWindow which) const {
    QWidget* w = window(which);
    return w && w->isVisible();
}

QWidget* QtShellWindows::window(ShellWindow which) const {
    auto it = windows_.find(which);
    return it == windows_.end() ? nullptr : it->second.get();
}

}  // namespace trellick
