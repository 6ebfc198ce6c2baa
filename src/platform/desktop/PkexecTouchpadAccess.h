#pragma once
// Grants touchpad access by running the helper trellick-touchpad-access as root through pkexec
// (polkit asks the user for the password). Without pkexec, the helper or the user's consent the
// caller learns why, so the welcome window can offer the manual root commands instead.

#include <QObject>
#include <QString>

#include "settings/TouchpadGrant.h"

namespace trellick::desktop {

class PkexecTouchpadAccess : public QObject, public TouchpadAccessGrant {
public:
    static constexpr const char* helperName = "trellick-touchpad-access";

    // `pkexec` and `helper` are absolute paths; empty when there is none.
    PkexecTouchpadAccess(QString pkexec, QString helper, QObject* parent = nullptr);
    // pkexec from the PATH and the helper of this installation (see findHelper).
    static QString findPkexec();
    // Next to the executable in a build tree, else in the installation's libexec folder.
    static QString findHelper();

    void grant(std::function<void(TouchpadGrant)> done) override;

private:
    QString pkexec_, helper_;
};

}  // namespace trellick::desktop
