#include "app/shell/WindowPresenter.h"

#include <QWidget>

namespace trellick {

void presentPlainly(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace trellick
