#!/usr/bin/env bash
# clang-tidy 14 with the root .clang-tidy over every source the builds compile: the module, the
# CLI, the tests, the fuzz targets and the benchmarks as built natively with clang (build-tidy),
# then the files only the Windows build compiles (platform/win32, the CLI's Windows files and
# the Windows-only tests), parsed for the mingw-w64 target against its headers (build-tidy-win).
# Prints each finding and exits non-zero when there is any. Nothing is built, only configured.
# About five and a half minutes on two cores.
#   LINEPEEK_JOBS   parallel clang-tidy runs (default 2)
set -euo pipefail
exec </dev/null

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${LINEPEEK_JOBS:-2}
native_build=$root/build-tidy
win_build=$root/build-tidy-win

# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"

pick() { # the first of the given commands that exists
  local name
  for name in "$@"; do
    if command -v "$name" >/dev/null 2>&1; then
      command -v "$name"
      return 0
    fi
  done
  echo "none of $* found; run scripts/install-deps.sh" >&2
  return 1
}
tidy=$(pick clang-tidy-14 clang-tidy)
clang=$(pick clang++-14 clang++)

# sources <build folder>: the tree's own files in the folder's compilation database, one a
# line; the fetched third-party sources are not ours to tidy.
sources() {
  sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1/compile_commands.json" |
    grep "^$root/" | grep -v -e "^$root/build" -e "^$root/third_party/" | sort -u
}

# run_tidy <database folder> <file list> [clang-tidy arguments...]: each file's findings are
# printed in one piece; the status is non-zero when any file has one.
run_tidy() {
  local database=$1 list=$2
  shift 2
  tr '\n' '\0' <"$list" | xargs -0 -r -n 1 -P "$jobs" bash -c \
    'if ! out=$("$@" 2>&1); then grep -v "warnings\{0,1\} generated\.$" <<<"$out"; exit 1; fi' \
    tidy "$tidy" -p "$database" --quiet "$@"
}

start=$SECONDS
status=0

echo "== tidy: configure ($native_build)"
fresh_on_compiler_change "$native_build" "$clang"
mkdir -p "$native_build"
quiet "$native_build/configure.log" cmake -S "$root" -B "$native_build" "${generator[@]}" \
  -DCMAKE_CXX_COMPILER="$clang" -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DLINEPEEK_BUILD_TESTS=ON -DLINEPEEK_BUILD_FUZZERS=ON -DLINEPEEK_BUILD_BENCHMARKS=ON
sources "$native_build" >"$native_build/tidy-files.txt"
echo "== tidy: $(wc -l <"$native_build/tidy-files.txt") native files"
run_tidy "$native_build" "$native_build/tidy-files.txt" || status=1

echo "== tidy: configure ($win_build)"
mkdir -p "$win_build"
quiet "$win_build/configure.log" cmake -S "$root" -B "$win_build" "${generator[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DLINEPEEK_BUILD_TESTS=ON
sources "$win_build" | grep -vxF -f "$native_build/tidy-files.txt" >"$win_build/tidy-files.txt" ||
  true
# Clang parses these as the mingw-w64 target, with the cross compiler's C++ library and
# Windows headers and its own built-in headers in place of GCC's (GCC's intrinsics headers do
# not parse with clang). The GCC-only flag CMake adds for mingw goes.
cross=$(grep -m 1 '^ *"command": ' "$win_build/compile_commands.json" |
  sed 's/^ *"command": "\([^ ]*\) .*/\1/')
target=$("$cross" -dumpmachine)
mapfile -t search < <("$cross" -xc++ -E -v /dev/null 2>&1 >/dev/null |
  sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/s/^ \(.*\)$/\1/p')
gcc_own="/lib/gcc/$target/[^/]*/include(-fixed)?$"
cross_args=(--extra-arg=--target="$target" --extra-arg=-std=gnu++17 --extra-arg=-nostdinc)
for dir in "${search[@]}"; do
  [[ $dir == */c++* ]] && cross_args+=(--extra-arg=-isystem"$(realpath "$dir")")
done
cross_args+=(--extra-arg=-isystem"$("$clang" -print-resource-dir)/include")
for dir in "${search[@]}"; do
  [[ $dir == */c++* || $(realpath "$dir") =~ $gcc_own ]] ||
    cross_args+=(--extra-arg=-isystem"$(realpath "$dir")")
done
mkdir -p "$win_build/tidy"
sed 's/ -fno-keep-inline-dllexport//g' "$win_build/compile_commands.json" \
  >"$win_build/tidy/compile_commands.json"
echo "== tidy: $(wc -l <"$win_build/tidy-files.txt") Windows-only files"
run_tidy "$win_build/tidy" "$win_build/tidy-files.txt" "${cross_args[@]}" || status=1

if [[ $status -ne 0 ]]; then
  echo "clang-tidy: findings above ($((SECONDS - start))s)" >&2
  exit 1
fi
echo "clang-tidy: clean ($((SECONDS - start))s)"
