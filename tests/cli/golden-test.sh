#!/usr/bin/env bash
# The golden check: what `trellick debug-gestures` decides, and the frames `--dump-frames`
# assembles, stay byte for byte what tests/cli/golden/ holds.
#   golden-test.sh examples|recordings TRELLICK SOURCE_DIR [RECORDINGS_DIR]
# Each example (with the list sizes of its "# Run with:" line) and each recording (with its
# .desc, or BOARD/board.desc under everyday/) runs in both modes, from its own folder; evemu
# examples are dumped as frames, recordings as a SHA-256 of them. Only recordings both sides
# know are compared; without the folder it skips (exit 77). After a change meant to alter them:
#   TRELLICK_UPDATE_GOLDEN=1 ctest -R Golden      (then review git diff tests/cli/golden)
set -euo pipefail
part=$1 trellick=$(realpath "$2") source_dir=$(realpath "$3")
golden=$source_dir/tests/cli/golden update=${TRELLICK_UPDATE_GOLDEN:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
modes=(directional toggle)
mode_options() { [ "$1" = directional ] || echo "--set trellick.mode=toggleLastApp"; }

# One run in DIR: standard output, then standard error and a failing status marked as such.
run_in() {
  local dir=$1 status=0
  shift
  (cd "$dir" && "$trellick" debug-gestures "$@") >"$tmp/out" 2>"$tmp/err" || status=$?
  cat "$tmp/out"
  sed 's/^/stderr: /' "$tmp/err"
  [ "$status" = 0 ] || echo "exit $status"
}

failed=0
# Compares (or with TRELLICK_UPDATE_GOLDEN writes) one golden file.
check() {
  local actual=$1 expected=$2 label=${3:-${2#"$source_dir"/}}
  if [ -n "$update" ]; then
    mkdir -p "$(dirname "$expected")" && cp "$actual" "$expected"
  elif [ ! -f "$expected" ]; then
    echo "golden-test: no golden file $label (TRELLICK_UPDATE_GOLDEN=1 makes it)"
    failed=1
  elif ! cmp -s "$expected" "$actual"; then
    diff -u --label "golden $label" --label "now" "$expected" "$actual" | head -n 60 || true
    failed=1
  fi
}

examples() {
  local ex name kind options mode
  for ex in "$source_dir"/examples/*.frames "$source_dir"/examples/*.evemu; do
    name=$(basename "$ex") kind=--frames
    [ "${name##*.}" = frames ] || kind=--replay
    options=$(sed -n 's/^# Run with: trellick debug-gestures .*'"$name"'//p' "$ex" |
      grep -oE -- '--(recents|favourites) [0-9]+' | tr '\n' ' ' || true)
    for mode in "${modes[@]}"; do
      # shellcheck disable=SC2046,SC2086
      run_in "$source_dir/examples" $kind "$name" $options $(mode_options "$mode") >"$tmp/actual"
      check "$tmp/actual" "$golden/examples/$name.$mode.jsonl"
    done
    if [ $kind = --replay ]; then
      run_in "$source_dir/examples" --replay "$name" --dump-frames >"$tmp/actual"
      check "$tmp/actual" "$golden/examples/$name.dump-frames"
    fi
  done
}

# The recordings present, one "RELATIVE-PATH [--device-desc BOARD-DESC]" a line, sorted.
list_recordings() {
  local f board
  (
    cd "$1"
    for f in *.evemu *.evtest; do [ ! -f "$f" ] || echo "$f"; done
    for board in everyday/*/; do
      [ -f "${board}board.desc" ] || continue
      for f in "$board"*; do
        case $(basename "$f") in board.desc | README* | *.md) continue ;; esac
        [ ! -f "$f" ] || echo "$f --device-desc ${board}board.desc"
      done
    done
  ) | LC_ALL=C sort
}

# Only the sections (or digest lines) of FILE whose recording is listed in NAMES.
sections_of() { awk 'NR == FNR { keep[$0] = 1; next } /^== / { on = (substr($0, 4) in keep) } on' "$2" "$1"; }
digests_of() { awk 'NR == FNR { keep[$0] = 1; next } ($2 in keep)' "$2" "$1"; }

recordings() {
  local dir=$1 line rel args mode
  [ -d "$dir" ] || { echo "golden-test: skipped: the shared touchpad recordings are not at $dir" \
    "(they live in ../shared/recordings beside the checkout; TRELLICK_RECORDINGS_DIR names another place)" && exit 77; }
  dir=$(realpath "$dir")
  list_recordings "$dir" >"$tmp/list"
  for mode in "${modes[@]}" sha256; do : >"$tmp/actual.$mode"; done
  while read -r line; do
    rel=${line%% *}
    read -r -a args <<<"$line"
    for mode in "${modes[@]}"; do
      # shellcheck disable=SC2046
      { echo "== $rel" && run_in "$dir" --replay "${args[@]}" $(mode_options "$mode"); } >>"$tmp/actual.$mode"
    done
    printf '%s  %s\n' "$(run_in "$dir" --replay "${args[@]}" --dump-frames | sha256sum | cut -d' ' -f1)" \
      "$rel" >>"$tmp/actual.sha256"
  done <"$tmp/list"
  if [ -n "$update" ] || [ ! -f "$golden/recordings.directional.txt" ]; then
    for mode in "${modes[@]}"; do check "$tmp/actual.$mode" "$golden/recordings.$mode.txt"; done
    check "$tmp/actual.sha256" "$golden/recordings.dump-frames.sha256"
    return
  fi
  # Compare what both sides know; say what only one of them has.
  sed -n 's/^== //p' "$golden/recordings.directional.txt" | LC_ALL=C sort >"$tmp/known"
  cut -d' ' -f1 "$tmp/list" >"$tmp/present"
  LC_ALL=C comm -12 "$tmp/known" "$tmp/present" >"$tmp/both"
  echo "golden-test: not checked: $(LC_ALL=C comm -13 "$tmp/known" "$tmp/present" | wc -l) recordings without" \
    "golden output, $(LC_ALL=C comm -23 "$tmp/known" "$tmp/present" | wc -l) of the golden files' absent"
  [ -s "$tmp/both" ] || { echo "golden-test: skipped: none of the recordings at $dir has a golden output" && exit 77; }
  for mode in "${modes[@]}"; do
    sections_of "$golden/recordings.$mode.txt" "$tmp/both" >"$tmp/expected.$mode"
    sections_of "$tmp/actual.$mode" "$tmp/both" >"$tmp/now.$mode"
    check "$tmp/now.$mode" "$tmp/expected.$mode" "recordings.$mode.txt"
  done
  digests_of "$golden/recordings.dump-frames.sha256" "$tmp/both" >"$tmp/expected.sha256"
  digests_of "$tmp/actual.sha256" "$tmp/both" >"$tmp/now.sha256"
  check "$tmp/now.sha256" "$tmp/expected.sha256" "recordings.dump-frames.sha256"
  echo "golden-test: $(wc -l <"$tmp/both") recordings checked in ${#modes[@]} modes and as frames"
}

case $part in
  examples) examples ;;
  recordings) recordings "$4" ;;
  *) echo "golden-test: examples or recordings, not '$part'" >&2 && exit 2 ;;
esac
if [ "$failed" != 0 ]; then
  echo "golden-test: the output differs from tests/cli/golden (see above)." \
    "If the change is meant: TRELLICK_UPDATE_GOLDEN=1 ctest -R Golden, and review git diff tests/cli/golden"
  exit 1
fi
[ -z "$update" ] || echo "golden-test: golden files written under ${golden#"$source_dir"/}"
