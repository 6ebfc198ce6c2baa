#pragma once
// The shell's three windows as the application sees them: it decides when each is built, shown
// and closed; a host (Qt Widgets in the application, a recorder in tests) does the window work.

namespace trellick {

enum class ShellWindow { settings, about, welcome };

class ShellWindowHost {
public:
    virtual ~ShellWindowHost() = default;
    // Builds the window with its title, content and size, centred, not shown. Called once per
    // window for the life of the process.
    virtual void build(ShellWindow window) = 0;
    // Shows a built window (again) and brings it in front of other applications' windows.
    virtual void present(ShellWindow window) = 0;
    // Hides a built window; it stays built for the next present.
    virtual void close(ShellWindow window) = 0;
    virtual bool isVisible(ShellWindow window) const = 0;
};

}  // namespace trellick
