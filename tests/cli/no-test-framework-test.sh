#!/usr/bin/env bash
# The shipped executable links no test framework: the simulation it shares with the tests must
# not pull in googletest, gmock or google benchmark.
#   no-test-framework-test.sh TRELLICK
set -euo pipefail
symbols=$(nm -C "$1")
[ -n "$symbols" ] || { echo "no-test-framework-test: nm found no symbols in $1" >&2; exit 1; }
if found=$(grep -E '(^|[^[:alnum:]_:])(testing|benchmark)::' <<<"$symbols"); then
  echo "no-test-framework-test: $1 holds $(wc -l <<<"$found") symbols of a test framework, such as:" >&2
  head -n 5 <<<"$found" >&2
  exit 1
fi
echo "no-test-framework-test: no symbol of googletest, gmock or google benchmark in $1"
