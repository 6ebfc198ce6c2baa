#pragma once
// Small file helpers shared by the files this layer writes.

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

namespace trellick::desktop {

// Creates `dir` and any missing parents with mode 0700 (what XDG asks of a config home
// that has to be created). Nothing on success, else why it failed.
std::optional<std::string> makeDirectories(const QString& dir);

// Replaces `path` atomically with `data` (written to a temporary file, then renamed over
// it), creating its folder when missing. A symbolic link at `path` is followed, so a
// link into a dotfiles repository stays a link. Nothing on success, else why it failed.
std::optional<std::string> writeFileAtomically(const QString& path, const QByteArray& data, int mode);

}  // namespace trellick::desktop
