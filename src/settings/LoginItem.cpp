#include "settings/LoginItem.h"

#include "common/Log.h"

namespace trellick::LoginItem {

bool setEnabled(LoginItemService& service, bool wanted) {
    // Only a real change goes to the service: registering an item that is already there
    // would rewrite the user's autostart entry for nothing.
    if (service.isEnabled() == wanted) return true;
    auto error = wanted ? service.registerItem() : service.unregisterItem();
    if (error) {
        log::warning("trellick.settings", "Trellick: failed to update login item: " + *error);
        return false;
    }
    return true;
}

}  // namespace trellick::LoginItem
