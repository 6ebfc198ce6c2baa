#pragma once
// Small file helpers shared by the files this layer writes.

#include <QByteArray>
#include <QString>

#include "common/Result.h"

namespace trellick::desktop {

// Creates `dir` and any missing parents with mode 0700 (what XDG asks of a config home
// that has to be created).
Result<> makeDirectories(const QString& dir);

// Replaces `path` atomically with `data` (written to a temporary file, then renamed over
// it), creating its folder when missing. A symbolic link at `path` is followed, so a
// link into a dotfiles repository stays a link.
Result<> writeFileAtomically(const QString& path, const QByteArray& data, int mode);

}  // namespace trellick::desktop
