#pragma once
// The shell's three windows in Qt Widgets: titled, closable, neither resizable nor
// minimisable, centred, kept after closing and brought to the front when presented.

#include <QAction>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

#include "app/ShellWindows.h"
#include "app/shell/WindowPresenter.h"

namespace trellick {

class QtShellWindows : public ShellWindowHost {
public:
    // `content` builds a window's content once.
    using ContentFactory = std::function<QWidget*(ShellWindow)>;
    QtShellWindows(ContentFactory content, WindowPresenter present);
    ~QtShellWindows() override;

    static QString title(ShellWindow window);
    // Actions whose shortcuts work in every window (the menu's Ctrl+Comma and Ctrl+Q); set
    // before the windows are built.
    void setWindowActions(QList<QAction*> actions) { actions_ = std::move(actions); }

    void build(ShellWindow window) override;
    void present(ShellWindow window) override;
    void close(ShellWindow window) override;
    bool isVisible(ShellWindow window) const override;

    // The window once built, else nullptr.
    QWidget* window(ShellWindow window) const;

private:
    ContentFactory content_;
    std::map<ShellWindow, std::unique_ptr<QWidget>> windows_;
    QList<QAction*> actions_;
    WindowPresenter present_;
};

}  // namespace trellick
