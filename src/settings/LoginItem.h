#pragma once
// Launch at login. The platform service (XDG autostart on Linux) behind an interface, and the
// stateless LoginItem operation of the settings store.

#include "common/Result.h"

namespace trellick {

class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    virtual bool isEnabled() const = 0;
    // The error's reason is a human readable description of what went wrong.
    virtual Result<> registerItem() = 0;
    virtual Result<> unregisterItem() = 0;
};

namespace LoginItem {
// Makes the service agree with `wanted`. Returns whether it now does. A failure is logged as
// "Trellick: failed to update login item: <description>".
bool setEnabled(LoginItemService& service, bool wanted);
}  // namespace LoginItem

}  // namespace trellick
