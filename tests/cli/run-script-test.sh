#!/usr/bin/env bash
# scripts/run.sh with a cmake that only reports what it is asked: building must not reach
# standard output, and only the trellick target is built.
set -euo pipefail
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '#!/bin/sh\necho "build progress: $*"\necho "$*" >>"%s/log"\n' "$tmp" >"$tmp/cmake"
chmod +x "$tmp/cmake"
status=0
PATH="$tmp:$PATH" "$1/scripts/run.sh" --version >"$tmp/out" 2>/dev/null || status=$?
fail() { echo "run-script-test: $*; standard output was:" >&2; cat "$tmp/out" >&2; exit 1; }
if grep -q "progress" "$tmp/out"; then fail "build progress reached standard output"; fi
builds=$(grep -- "--build" "$tmp/log" || true)
[ -n "$builds" ] && ! grep -qv -- "--target trellick$" <<<"$builds" || fail "not only trellick built: $builds"
# Where the binary exists, standard output is exactly what it prints.
[ ! -x "$1/build/default/src/app/trellick" ] || [ "$status:$(cat "$tmp/out")" = "0:trellick $2" ] || fail "status $status"
