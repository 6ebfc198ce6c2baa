#!/usr/bin/env bash
# Installs what Trellick needs, builds it and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run
"$root/scripts/build.sh" default
bin="$root/build/default/src/app/trellick"
if [ $# -gt 0 ]; then exec "$bin" "$@"; fi
echo "Trellick: replaying the example scenario examples/directional-walk.frames" >&2
exec "$bin" debug-gestures --frames "$root/examples/directional-walk.frames"
