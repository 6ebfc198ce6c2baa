#!/usr/bin/env bash
# Builds the Debian package build/package/trellick_<version>_<arch>.deb: an optimised build of
# the programs for /usr (build.sh package), then cpack. Extra arguments go to CMake, e.g.
#   scripts/package.sh -DTRELLICK_UPDATE_FEED_URL=https://example.org/releases.atom
# Install it with: sudo apt install ./build/package/trellick_<version>_<arch>.deb
# Standard output is the path of the package; building reports on standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" package >&2
"$root/scripts/build.sh" package "$@" >&2
cd "$root/build/package"
cpack -G DEB >&2
ls -t "$root"/build/package/trellick_*.deb | head -1
