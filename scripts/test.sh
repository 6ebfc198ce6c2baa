#!/usr/bin/env bash
# Installs what the tests need, builds and runs the whole suite, and checks the code's form
# (scripts/lint.sh: clang-format and clang-tidy, with the default build's compile database).
#   --sanitize none|asan|tsan|all   which sanitizer runs follow the plain run (default: all)
#                                   asan = AddressSanitizer + UBSan over everything,
#                                   tsan = ThreadSanitizer over the Qt-free core
#   --fuzz-seconds N                time per fuzz target (default 10; 0 skips fuzzing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sanitize=all
fuzz_seconds=10
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize=$2; shift 2 ;;
    --sanitize=*) sanitize=${1#*=}; shift ;;
    --fuzz-seconds) fuzz_seconds=$2; shift 2 ;;
    --fuzz-seconds=*) fuzz_seconds=${1#*=}; shift ;;
    -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
    *) echo "test.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
case "$sanitize" in none|asan|tsan|all) ;; *) echo "test.sh: --sanitize takes none, asan, tsan or all" >&2; exit 2 ;; esac

"$root/scripts/install-deps.sh" test

build_flavour() {
  echo "== $1 build" >&2
  "$root/scripts/build.sh" "$1"
}
test_flavour() {
  echo "== $1 tests" >&2
  (cd "$root/build/$1" && ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
}

# The lint needs the default build's compile database. It then runs beside the rest at the
# lowest priority: the test runs leave the cores idle for much of their time (X servers,
# timers), and the lint takes that time rather than adding minutes of its own.
lint_log=$root/build/lint.log
lint_pid=
start_lint() {
  echo "== lint (beside the tests; its result comes at the end)" >&2
  # A process group of its own, so that a failing run can end the lint and its clang-tidys.
  setsid -w nice -n 19 "$root/scripts/lint.sh" "$root/build/default" >"$lint_log" 2>&1 &
  lint_pid=$!
}
end_lint() {
  if [ -n "$lint_pid" ]; then kill -- "-$lint_pid" 2>/dev/null || true; fi
}
trap end_lint EXIT
finish_lint() {
  local status=0
  echo "== lint" >&2
  wait "$lint_pid" || status=$?
  lint_pid=
  if [ "$status" != 0 ]; then
    cat "$lint_log" >&2
    exit "$status"
  fi
  tail -n 1 "$lint_log" >&2
}

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Full stacks on allocation, so leak suppressions also match inside libraries built without
# frame pointers (libdbus, reached through the tray icon).
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
# Qt and GLib keep process-lifetime allocations; the suppressions name only those.
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

build_flavour default
start_lint
test_flavour default
case "$sanitize" in
  tsan|all) build_flavour tsan; test_flavour tsan ;;
esac
case "$sanitize" in
  asan|all) build_flavour asan; test_flavour asan ;;
esac

if [ "$fuzz_seconds" != 0 ] && [ -x "$root/scripts/fuzz.sh" ]; then
  "$root/scripts/fuzz.sh" "$fuzz_seconds"
fi
finish_lint
echo "All test runs passed." >&2
