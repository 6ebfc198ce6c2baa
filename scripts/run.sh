#!/usr/bin/env bash
# Installs what Trellick needs, builds it and runs it.
#   In an X11 session: the tray application (arguments are passed on, e.g. --help).
#   Without a display: what the gesture engine decides as you swipe on the touchpad, or,
#   with no readable touchpad, a replay of the project's demo recording, with pictures of
#   the overlay it shows written to build/overlay-pictures.
# Standard output carries only what trellick prints (JSON lines, --help); installing and
# building report on standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run >&2
# Warnings do not stop a user's build: a newer compiler than the tests use may warn about more.
# A build folder that scripts/test.sh has already made strict stays so, rather than being
# rebuilt whole for one flag (it then builds without warnings anyway).
werror=OFF
if grep -qx 'TRELLICK_WERROR:BOOL=ON' "$root/build/default/CMakeCache.txt" 2>/dev/null; then werror=ON; fi
# Only what running needs: the tests and benchmarks wait for test.sh.
"$root/scripts/build.sh" default --target trellick -DTRELLICK_WERROR="$werror" >&2
bin="$root/build/default/src/app/trellick"
if [ $# -gt 0 ]; then exec "$bin" "$@"; fi
if [ -n "${DISPLAY:-}" ]; then
  echo "Trellick: starting the tray application on display $DISPLAY (quit from its menu, or Ctrl+C)" >&2
  exec "$bin"
fi
echo "Trellick: no X11 display, so showing what the gesture engine decides instead of switching windows" >&2
# Exit status 3 means no touchpad could be read (the first line said why).
status=0
"$bin" debug-gestures || status=$?
[ "$status" -eq 3 ] || exit "$status"
pictures="$root/build/overlay-pictures"
rm -rf "$pictures"
echo "Trellick: replaying the demo recording examples/directional-walk.evemu" >&2
# It says where it wrote the pictures of the overlay, one for each update of the swipe.
exec "$bin" debug-gestures --replay "$root/examples/directional-walk.evemu" --overlay "$pictures"
