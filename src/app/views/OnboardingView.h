#pragma once
// The content of the welcome window: what the gesture does, the touchpad access it needs
// (granted through an injected callback, or by the commands shown where that cannot run),
// launch at login, and a final button, "Get Started" once a touchpad is read and "Done"
// before. Without any touchpad it says so, and that one can be plugged in at any time.
// Return presses the final button. Access and the touchpads found, and with them the mark and
// the button's title, follow the diagnostics object live.

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "common/Observable.h"
#include "common/Result.h"
#include "overlay/OverlayDesktop.h"
#include "settings/Diagnostics.h"
#include "settings/SettingsStore.h"
#include "settings/TouchpadAccess.h"

class QLabel;
class QLayout;
class QPushButton;

namespace trellick {

namespace ui {
class SymbolView;
class ToggleSwitch;
}  // namespace ui

class OnboardingView : public QWidget {
public:
    struct Dependencies {
        std::shared_ptr<SettingsStore> settings;       // launchAtLogin, bound to the toggle
        std::shared_ptr<Diagnostics> diagnostics;      // touchpads active and without access
        std::shared_ptr<AppearanceSource> appearance;  // null: the desktop's palette stays
        GrantHandler onGrant;                          // "Grant Touchpad Access…"
        std::function<void()> onDone;                  // the final button: record onboarding, close
        // Under KWin without its window management: as in Settings' Diagnostics. No row when empty.
        std::function<void(std::function<void(Result<>)> report)> onAllowWindowManagement = {};
    };

    // The view fixes its own size (460 wide, as tall as its content) and grows when the
    // commands box appears.
    explicit OnboardingView(Dependencies deps, QWidget* parent = nullptr);
    ~OnboardingView() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Why touchpad access is needed, whether it is granted, and the way to grant it.
    QLayout* buildPermission();
    // Under KWin without its window management: the offer to write the entry KWin wants.
    QLayout* buildWindowManagementOffer();
    // Connects the buttons; the launch-at-login toggle and the access state follow the model.
    void follow(ui::ToggleSwitch* toggle);
    // The mark, the state line and the final button for the touchpads found and their access.
    void showAccess();
    void refit();
    void grant();

    Dependencies deps_;
    ui::SymbolView* mark_ = nullptr;
    QPushButton* grantButton_ = nullptr;
    QLabel* granted_ = nullptr;
    QLabel* noTouchpad_ = nullptr;
    QWidget* manualGrant_ = nullptr;
    QPushButton* finish_ = nullptr;
    std::vector<Subscription> subs_;
};

}  // namespace trellick
