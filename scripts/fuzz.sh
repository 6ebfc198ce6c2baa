#!/usr/bin/env bash
# Builds the fuzz flavour (clang, libFuzzer) and runs each fuzz target for SECONDS (default
# 10), starting from the project's own small seed inputs in fuzz/seeds. The working corpus
# grows in build/fuzz/corpus/<target>; a crash, leak or hang stops with the failing input
# saved in build/fuzz/findings/. Usage: fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac

echo "== fuzz build" >&2
"$root/scripts/build.sh" fuzz

out="$root/build/fuzz"
mkdir -p "$out/findings"
# target:seed folder
targets=(
  fuzz_evemu:evemu
  fuzz_evtest:evtest
  fuzz_libinput_record:libinput
  fuzz_any_recording:evemu,evtest,libinput
  fuzz_assembler:events
  fuzz_quirks:quirks
)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for entry in "${targets[@]}"; do
  target=${entry%%:*}
  seeds=()
  IFS=, read -ra dirs <<< "${entry#*:}"
  for d in "${dirs[@]}"; do seeds+=("$root/fuzz/seeds/$d"); done
  bin="$out/fuzz/$target"
  [ -x "$bin" ] || { echo "fuzz.sh: $bin was not built (is clang installed?)" >&2; exit 1; }
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s" >&2
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
         -artifact_prefix="$out/findings/$target-" -print_final_stats=1 \
         "$corpus" "${seeds[@]}" 2>"$out/$target.log" || {
    tail -n 60 "$out/$target.log" >&2
    echo "fuzz.sh: $target failed; the input is in $out/findings/" >&2
    exit 1
  }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$out/$target.log" | sed "s/^/  /" >&2 || true
done
echo "Fuzzing passed." >&2
