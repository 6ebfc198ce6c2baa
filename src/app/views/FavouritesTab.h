#pragma once
// The settings window's Favourites tab: the pinned applications with up, down and remove, the
// add popover (usage suggestions, then running applications by name, and "Browse…"), and the
// shelf of suggested applications that pin with one click. Every change goes through the
// settings store's favourites operations, which keep the limit and refuse duplicates.

#include <QFrame>
#include <QIcon>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Observable.h"
#include "settings/SettingsStore.h"
#include "tracking/Favourites.h"
#include "tracking/Workspace.h"

class QLabel;
class QPushButton;
class QVBoxLayout;
class QGraphicsOpacityEffect;

namespace trellick {

// What the favourites tab reads besides the settings store.
struct FavouritesServices {
    // Names and icons of identifiers, whether they still exist (for suggestions), and the
    // application chooser of "Browse…" (pickApp()).
    std::shared_ptr<Favourites> favourites;
    // The running applications "Add app…" offers.
    std::shared_ptr<Workspace> workspace;
    // This program's own identifier: never suggested or offered.
    std::optional<std::string> ownDesktopId;
};

namespace ui {
class CardFrame;
class FlowLayout;

// One application the add popover offers.
struct AppCandidate {
    std::string desktopId;
    QString name;
    QIcon icon;
};

class FavouritesTab : public QWidget {
public:
    // Suggestions come from the usage counts in `settings`' preferences store.
    FavouritesTab(std::shared_ptr<SettingsStore> settings, FavouritesServices services, QWidget* parent = nullptr);
    ~FavouritesTab() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void matchDisabledLook();
    void rebuild();
    void rebuildPinned();
    void rebuildShelf();
    void openPopover();
    void browse();
    std::vector<AppCandidate> candidates();

    std::shared_ptr<SettingsStore> settings_;
    FavouritesServices services_;
    CardFrame* listCard_ = nullptr;
    QGraphicsOpacityEffect* dimming_ = nullptr;
    QVBoxLayout* pinnedBox_ = nullptr;
    QWidget* shelf_ = nullptr;
    FlowLayout* chips_ = nullptr;
    QFrame* popover_ = nullptr;
    QPushButton* addButton_ = nullptr;
    std::vector<Subscription> subs_;
};

}  // namespace ui
}  // namespace trellick
