#pragma once
// "Browse…" of the favourites tab: a dialog titled "Choose an app to pin" listing the
// installed applications (desktop entries) by name with their icons, a filter field that
// keeps the keyboard (Up and Down move through the list, Return pins, Escape cancels), and
// a "Pin" button.

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Observable.h"
#include "overlay/OverlayDesktop.h"
#include "tracking/DesktopEntries.h"
#include "tracking/Favourites.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace trellick {

class AppChooserDialog : public QDialog {
public:
    explicit AppChooserDialog(std::vector<DesktopEntry> entries, QWidget* parent = nullptr);
    // The entry id of the application selected; nothing when none is.
    std::optional<std::string> chosenId() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyFilter(const QString& text);
    // The symbol standing in for a missing icon, in the current palette's colours.
    void paintPlaceholders();
    void updatePinButton();

    QLineEdit* filter_;
    QListWidget* list_;
    QPushButton* pin_;
};

// The chooser Favourites::pickApp() runs: the dialog above, modal over the active window,
// listing what `entries` reports as installed at the time it opens.
class DialogAppChooser : public AppChooser {
public:
    explicit DialogAppChooser(std::shared_ptr<DesktopEntries> entries,
                              std::shared_ptr<AppearanceSource> appearance = nullptr);
    std::optional<std::string> chooseApp() override;

private:
    std::shared_ptr<DesktopEntries> entries_;
    std::shared_ptr<AppearanceSource> appearance_;
};

}  // namespace trellick
