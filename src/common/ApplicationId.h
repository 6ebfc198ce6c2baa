#pragma once
// The application id: the session-bus name, the Wayland app id, and the name of the desktop
// entry and icon. Windows carrying it are Trellick's own, which it never lists or counts.

namespace trellick {

inline constexpr const char* kApplicationId = "io.github.trellick.Trellick";

}  // namespace trellick
