#!/usr/bin/env bash
# Installs what Trellick needs, builds it and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run
"$root/scripts/build.sh" default
bin="$root/build/default/src/app/trellick"
if [ $# -gt 0 ]; then exec "$bin" "$@"; fi
# With a readable touchpad: what the engine decides as you swipe (Ctrl-C stops). Without one
# (exit status 3, the first line says why): a recording of the project's own.
status=0
"$bin" debug-gestures || status=$?
[ "$status" -eq 3 ] || exit "$status"
echo "Trellick: replaying the demo recording examples/directional-walk.evemu" >&2
exec "$bin" debug-gestures --replay "$root/examples/directional-walk.evemu"
