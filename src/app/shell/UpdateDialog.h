#pragma once
// The small window that shows the outcome of "Check for Updates…".

#include <QMessageBox>

#include "platform/desktop/UpdaterController.h"

namespace trellick {

// A new, non-modal message box for `result`; it deletes itself when closed. A newer release
// comes with a button that opens its page in the browser.
QMessageBox* makeUpdateDialog(const desktop::UpdateCheckResult& result, const QString& currentVersion);

}  // namespace trellick
