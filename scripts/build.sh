#!/usr/bin/env bash
# Configures and builds one flavour into build/<flavour>: default, asan (address+undefined
# with float-cast-overflow, everything), tsan (thread, the Qt-free core only, built with
# clang so that its thread-safety analysis runs too), package (the programs alone, optimised,
# for /usr: what scripts/package.sh packages). The flavours the tests use fail on any compiler
# warning (TRELLICK_WERROR); a CMAKE OPTION -DTRELLICK_WERROR=OFF turns that off.
#   build.sh FLAVOUR [--target NAME]... [CMAKE OPTIONS]   (without --target: everything)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-default}
shift || true
targets=()
while [ $# -gt 0 ] && [ "$1" = --target ]; do
  [ $# -ge 2 ] || { echo "build.sh: --target needs a NAME" >&2; exit 2; }
  targets+=(--target "$2")
  shift 2
done
args=(-G Ninja -S "$root" -B "$root/build/$flavour")
case "$flavour" in
  default) args+=(-DTRELLICK_WERROR=ON) ;;
  asan) args+=(-DTRELLICK_SANITIZE=address,undefined,float-cast-overflow -DTRELLICK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
               -DTRELLICK_WERROR=ON) ;;
  tsan) args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTRELLICK_SANITIZE=thread
               -DTRELLICK_CORE_ONLY=ON -DTRELLICK_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DTRELLICK_WERROR=ON) ;;
  package) args+=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTRELLICK_BUILD_TESTS=OFF
                  -DTRELLICK_BUILD_BENCH=OFF -DTRELLICK_WERROR=OFF) ;;
  fuzz) args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTRELLICK_CORE_ONLY=ON
               -DTRELLICK_BUILD_FUZZ=ON -DTRELLICK_BUILD_TESTS=OFF -DTRELLICK_BUILD_BENCH=OFF -DTRELLICK_WERROR=ON) ;;
  *) echo "build.sh: unknown flavour '$flavour' (default, asan, tsan, package, fuzz)" >&2; exit 2 ;;
esac
# A build folder configured with another compiler cannot be switched in place.
cache="$root/build/$flavour/CMakeCache.txt"
case " ${args[*]} " in
  *" -DCMAKE_CXX_COMPILER=clang++ "*)
    if [ -f "$cache" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++$' "$cache"; then
      echo "build.sh: build/$flavour was configured with another compiler: configuring it afresh" >&2
      rm -rf "$cache" "$root/build/$flavour/CMakeFiles"
    fi ;;
esac
# The compiler cache (when installed) shares results between work trees and build folders:
# paths under the repository are hashed relative to it.
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-5G}
cmake "${args[@]}" "$@" >/dev/null
cmake --build "$root/build/$flavour" --parallel "$(nproc)" ${targets[@]+"${targets[@]}"}
