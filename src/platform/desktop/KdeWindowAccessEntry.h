#pragma once
// KWin offers its window management only to a program that a desktop entry names by absolute
// path (Exec) with X-KDE-Wayland-Interfaces naming the interface. The installed entry does so
// for the installed program; a program run from anywhere else (a build from source) gets an
// entry of the user's own, hidden from menus: $XDG_DATA_HOME/applications/
// io.github.trellick.Trellick-HASH.desktop, HASH from the program's path, so that builds side
// by side each have theirs. KWin reads new entries while it runs.

#include <QString>

#include "common/Result.h"

namespace trellick::desktop {

struct KdeWindowAccessEntry {
    // The entry's file name for `program` (an absolute path); the build's uninstall target
    // computes the same name.
    static QString fileName(const QString& program);
    static QString path(const QString& program);
    static Result<> write(const QString& program);
};

}  // namespace trellick::desktop
