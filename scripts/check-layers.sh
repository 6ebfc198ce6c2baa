#!/usr/bin/env bash
# The layers of src/ and what each may include, checked against the #include lines: fails on
# an include a layer may not make and on any cycle between folders.
#   check-layers.sh [--graph] [SRC_DIR]    (--graph prints the folder graph and checks nothing)
#
# A layer is a folder of src/ (a backend of src/platform/ counts as one of its own); its
# sub-folders (app/debug, input/tools) belong to it. The CMake targets link the same way, so a
# wrong include already fails the build; this check also covers headers no target compiles
# yet, and prints the graph for review.
set -euo pipefail
graph_only=
if [ "${1:-}" = --graph ]; then
  graph_only=1
  shift
fi
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

# What each layer may include, lowest first (each list is the whole of what the layer's target
# sees through its links). The core (common to platform/evdev) includes no Qt.
declare -A may=(
  [common]=""
  [settings]="common"
  [tracking]="settings common"
  [gesture]="tracking settings common"
  [input]="common"
  [overlay]="gesture tracking settings common"
  [platform/evdev]="gesture tracking settings input common"
  [platform/recording]="gesture tracking settings input common"
  [platform/desktop]="overlay gesture tracking settings common"
  [platform/x11]="overlay gesture tracking settings common"
  [platform/wayland]="overlay gesture tracking settings common"
  [simulation]="gesture tracking settings common"
  [helper]="platform/evdev"
  [app]="simulation platform/evdev platform/recording platform/desktop platform/x11 platform/wayland overlay input gesture tracking settings common"
)

layer_of() {
  case $1 in
    platform/*/*) echo "$1" | cut -d/ -f1-2 ;;
    */*) echo "${1%%/*}" ;;
    *) echo "(top)" ;;
  esac
}

# Every include of one of our headers, as "FROM-LAYER TO-LAYER FILE HEADER".
edges=$(cd "$src" && grep -rHE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' . |
  sed -E 's|^\./||; s|:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*| \1|' |
  while read -r file header; do
    [ -e "$header" ] || continue # a header beside its includer, or not ours
    from=$(layer_of "$file")
    to=$(layer_of "$header")
    [ "$from" = "$to" ] || echo "$from $to $file $header"
  done)

echo "Folder graph of $src (edge: includes, with the number of #include lines):"
if [ -n "$edges" ]; then
  awk '{ n[$1 " -> " $2]++ } END { for (e in n) printf "  %s (%d)\n", e, n[e] }' <<<"$edges" | LC_ALL=C sort
fi
[ -z "$graph_only" ] || exit 0

status=0
while read -r from to file header; do
  [ -n "$from" ] || continue
  if [ -z "${may[$from]+set}" ]; then
    echo "check-layers: $file: the folder $from is no layer; name it in scripts/check-layers.sh" >&2
    status=1
  elif [[ " ${may[$from]} " != *" $to "* ]]; then
    echo "check-layers: $file includes $header: $from may not use $to (it may use: ${may[$from]:-nothing})" >&2
    status=1
  fi
done <<<"$edges"

# The logic and the views know no window system: the backends live in platform/, and app/
# only wires them (its composition root includes their headers, never a system's own).
named=$(cd "$src" && grep -rliwE 'x11|xcb|wayland' gesture tracking overlay app/views app/widgets 2>/dev/null || true)
if [ -n "$named" ]; then
  echo "check-layers: window-system code or words outside platform/: $named" >&2
  status=1
fi
system=$(cd "$src" && grep -rlE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(xcb/|wayland-|QDBus|QNetwork|QProcess|libevdev|libudev)' app 2>/dev/null || true)
if [ -n "$system" ]; then
  echo "check-layers: platform code in app/ (move it to platform/): $system" >&2
  status=1
fi

# A cycle between folders, even among allowed edges, is a fault of the table above.
if ! awk '{ print $1, $2 }' <<<"$edges" | sort -u | tsort >/dev/null 2>"${TMPDIR:-/tmp}/check-layers.$$"; then
  echo "check-layers: the folders include each other in a cycle:" >&2
  cat "${TMPDIR:-/tmp}/check-layers.$$" >&2
  status=1
fi
rm -f "${TMPDIR:-/tmp}/check-layers.$$"
[ "$status" = 0 ] && echo "check-layers: every include follows the layers; no cycle; no window system outside platform/."
exit "$status"
