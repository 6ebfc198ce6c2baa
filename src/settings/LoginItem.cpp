#include "settings/LoginItem.h"

#include "common/Log.h"

namespace trellick::LoginItem {

bool setEnabled(LoginItemService& service, bool wanted) {
    // Only a real change goes to the service: registering an item that is already there
    // would rewrite the user's autostart entry for nothing.
    if (service.isEnabled() == wanted) return true;
    auto done = wanted ? service.registerItem() : service.unregisterItem();
    if (!done) {
        log::warning("trellick.settings", "Trellick: failed to update login item: " + done.error().reason);
        return false;
    }
    return true;
}

}  // namespace trellick::LoginItem
