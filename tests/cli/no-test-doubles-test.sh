#!/usr/bin/env bash
# The shipped executable links no test code: no symbol of the in-memory doubles.
#   no-test-doubles-test.sh TRELLICK
set -euo pipefail
symbols=$(nm -C "$1")
[ -n "$symbols" ] || { echo "no-test-doubles-test: nm found no symbols in $1" >&2; exit 1; }
if doubles=$(grep 'trellick::fake::' <<<"$symbols"); then
  echo "no-test-doubles-test: $1 holds $(wc -l <<<"$doubles") symbols of trellick::fake, such as:" >&2
  head -n 5 <<<"$doubles" >&2
  exit 1
fi
echo "no-test-doubles-test: no symbol of trellick::fake in $1"
