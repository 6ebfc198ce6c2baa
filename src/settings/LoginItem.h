#pragma once
// Launch at login. The platform service (XDG autostart on Linux) behind an interface, and the
// stateless LoginItem operation of the settings store.

#include <optional>
#include <string>

namespace trellick {

class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    virtual bool isEnabled() const = 0;
    // Empty on success, else a human readable description of what went wrong.
    virtual std::optional<std::string> registerItem() = 0;
    virtual std::optional<std::string> unregisterItem() = 0;
};

namespace LoginItem {
// Makes the service agree with `wanted`. Returns whether it now does. A failure is logged as
// "Trellick: failed to update login item: <description>".
bool setEnabled(LoginItemService& service, bool wanted);
}  // namespace LoginItem

}  // namespace trellick
