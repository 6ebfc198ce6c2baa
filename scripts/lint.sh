#!/usr/bin/env bash
# Checks the code's form, and fails on any finding:
#   1. clang-format (the repository's .clang-format) over the C++ files of src/, tests/, bench/
#      and fuzz/;
#   2. clang-tidy (the repository's .clang-tidy) over each .cpp file of src/, with the compile
#      database of a build folder that has been built (the Qt code needs its generated headers).
#      Our headers are checked inside the files that include them, with those files' flags.
#   3. functions of src/ that nothing calls (cppcheck's whole-program check; tests, benchmarks
#      and fuzz targets count as callers).
#   lint.sh [BUILD_DIR]          (default: build/default)
#
# clang-tidy runs `nproc` files at a time. A file that passed before with the same preprocessed
# text (comments and macro definitions kept), compiler arguments, clang-tidy and configuration
# is not checked again: BUILD_DIR/lint-cache remembers the passes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/default}" 2>/dev/null && pwd) || {
  echo "lint.sh: no build folder ${1:-build/default}: build it first (scripts/build.sh default)" >&2
  exit 2
}
[ -f "$build/compile_commands.json" ] || {
  echo "lint.sh: $build has no compile_commands.json: build it first (scripts/build.sh default)" >&2
  exit 2
}
for tool in clang-format clang-tidy cppcheck python3; do
  command -v "$tool" >/dev/null || { echo "lint.sh: $tool is missing (scripts/install-deps.sh test)" >&2; exit 2; }
done
cd "$root"

# The C++ files under the folders given, NUL-separated: those git tracks, or, outside a git
# checkout, all of them.
cxx_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    local patterns=() d
    for d in "$@"; do patterns+=("$d/*.cpp" "$d/*.h"); done
    git ls-files -z -- "${patterns[@]}"
  else
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z
  fi
}

status=0
echo "== clang-format" >&2
cxx_files src tests bench fuzz | xargs -0 -r clang-format --dry-run --Werror || {
  echo "lint.sh: the files above are not formatted: run clang-format -i on them" >&2
  status=1
}

echo "== clang-tidy" >&2
cache="$build/lint-cache"
work=$(mktemp -d "${TMPDIR:-/tmp}/trellick-lint.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$cache/passed" "$work/args" "$work/failed"

# For each .cpp of src/, the compiler's arguments as a clang response file, to preprocess it
# for the cache key. A file the build does not compile cannot be checked with the right flags.
cxx_files src | tr '\0' '\n' | grep '\.cpp$' >"$work/sources"
python3 - "$build/compile_commands.json" "$root" "$work" <<'EOF'
import json, os, shlex, sys
db_path, root, work = sys.argv[1:]
entries = {}
for e in json.load(open(db_path)):
    path = os.path.normpath(os.path.join(e["directory"], e["file"]))
    entries[path] = (e["directory"], e.get("arguments") or shlex.split(e["command"]))
missing, listed = [], []
for n, rel in enumerate(open(os.path.join(work, "sources")).read().split()):
    path = os.path.join(root, rel)
    if path not in entries:
        missing.append(rel)
        continue
    directory, argv = entries[path]
    args, skip = [], False
    for a in argv[1:]:  # the compiler itself, "-o FILE" and "-c" go
        if skip:
            skip = False
        elif a == "-o":
            skip = True
        elif a != "-c":
            args.append(a)
    rsp = os.path.join(work, "args", f"{n}.rsp")
    with open(rsp, "w") as f:
        f.write(" ".join('"' + a.replace("\\", "\\\\").replace('"', '\\"') + '"' for a in args))
    listed.append(f"{path}\t{directory}\t{rsp}")
if missing:
    sys.exit("lint.sh: not in the compile database (is the build folder configured with everything?): " +
             " ".join(missing))
open(os.path.join(work, "list"), "w").write("".join(l + "\n" for l in listed))
EOF

# What else decides a file's findings: the tool and its configuration.
tidy=$(command -v clang-tidy)
clangxx=$(dirname "$(readlink -f "$tidy")")/clang++  # the clang of the same release, for the key
[ -x "$clangxx" ] || clangxx=clang++
stamp=$({ clang-tidy --version; cat .clang-tidy; } | sha256sum | cut -c1-64)

check_one() {
  local file=$1 dir=$2 rsp=$3 key="" log
  log="$work/failed/$(echo "$file" | tr / _).log"
  # No key (the file cannot be preprocessed alone): checked every time.
  if pre=$(cd "$dir" && "$clangxx" "@$rsp" -E -C -dD -w -o - | sha256sum | cut -c1-64); then
    key=$({ echo "$stamp $pre"; cat "$rsp"; } | sha256sum | cut -c1-64)
    if [ -e "$cache/passed/$key" ]; then
      touch "$cache/passed/$key"  # still in use
      return 0
    fi
  fi
  # The compiler's own warnings are the builds' business (-Werror there), not this check's.
  if clang-tidy -p "$build" --quiet --warnings-as-errors='*' --extra-arg=-Wno-error "$file" >"$log" 2>&1; then
    rm -f "$log"
    [ -z "$key" ] || : >"$cache/passed/$key"
    return 0
  fi
  return 1
}
export -f check_one
export work cache build stamp clangxx

tr '\t\n' '\0\0' <"$work/list" | xargs -0 -r -n 3 -P "$(nproc)" bash -c 'set -o pipefail; check_one "$@"' _ || {
  cat "$work"/failed/*.log 2>/dev/null | sed -E '/^[0-9]+ warnings? generated\.$/d' >&2 || true
  # A header's finding shows once for each file that includes it; counted once.
  findings=$(cat "$work"/failed/*.log 2>/dev/null | grep -E '(warning|error): ' | sort -u | wc -l) || true
  echo "lint.sh: clang-tidy: $findings finding(s) above: fix them, or mark a false positive with" \
    "NOLINT(check): reason" >&2
  status=1
}
echo "== unused functions" >&2
# Headers go in as sources so that their inline functions count too. A function declared
# `override` is called through its base class (Qt's, yaml-cpp's), and one named in SLOT() by
# Qt's meta-object system: neither is reported. The same files, tool and rules checked clean
# before are not checked again.
cxx_files src tests bench fuzz | tr '\0' '\n' >"$work/unused-files"
unused_key=$({ cppcheck --version; sed -n '/^  # unused: from here/,/^  # unused: to here/p' "$0"
  tr '\n' '\0' <"$work/unused-files" | xargs -0 sha256sum; } | sha256sum | cut -c1-64)
if [ ! -e "$cache/passed/unused-$unused_key" ]; then
  # unused: from here
  cppcheck --enable=unusedFunction --quiet --std=c++20 --language=c++ --library=qt --library=googletest -I src \
    --template='{file}:{line}: {id}: {message}' --file-list="$work/unused-files" 2>"$work/unused-report" || true
  if python3 - "$work/unused-report" <<'EOF'
import re, sys
found = []
for line in open(sys.argv[1]):
    m = re.match(r"(src/[^:]+):(\d+): unusedFunction: The function '(\w+)' is never used", line)
    if not m:
        continue
    path, number, name = m.groups()
    text = ""
    for f in {path, re.sub(r"\.cpp$", ".h", path), re.sub(r"\.h$", ".cpp", path)}:
        try:
            text += open(f).read()
        except OSError:
            pass
    if re.search(r"\b%s\s*\([^;{}]*\)\s*(const\s*)?(noexcept\s*)?override\b" % name, text):
        continue
    if re.search(r"SLOT\(\s*%s\s*\(" % name, text):
        continue
    found.append(f"{path}:{number}: {name}() is never called")
print("\n".join(found), file=sys.stderr)
sys.exit(1 if found else 0)
EOF
  then
    : >"$cache/passed/unused-$unused_key"
  else
    echo "lint.sh: the functions above are dead code: remove them" >&2
    status=1
  fi
  # unused: to here
fi
# Passes not met for a month belong to code long gone.
find "$cache/passed" -type f -mtime +30 -delete
if [ "$status" = 0 ]; then echo "lint.sh: formatting, clang-tidy and the unused-function check are clean." >&2; fi
exit "$status"
