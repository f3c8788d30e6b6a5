#!/usr/bin/env bash
# The project's one test command: the native build and its tests, then the Windows cross-build
# with its tests under Wine in the C and ru_RU.UTF-8 locales. Both builds are Release with
# warnings as errors. Each phase stops the script on failure, so the output always ends with the
# summary of the last ctest run.
#   LINEPEEK_JOBS       parallel jobs for builds and tests (default 2)
#   LINEPEEK_PHASES     which phases to run (default "native windows")
set -euo pipefail
exec </dev/null

root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
jobs=${LINEPEEK_JOBS:-2}
phases=" ${LINEPEEK_PHASES:-native windows} "
native_build=$root/build-native-ci
win_build=$root/build-win

# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"

if [[ $phases == *" native "* ]]; then
echo "== native: configure and build ($native_build)"
mkdir -p "$native_build"
quiet "$native_build/configure.log" cmake -S "$root" -B "$native_build" "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_WERROR=ON -DLINEPEEK_BUILD_FUZZERS=ON \
  -DLINEPEEK_BUILD_BENCHMARKS=ON
quiet "$native_build/build.log" cmake --build "$native_build" -j "$jobs"
echo "== native: tests"
(cd "$native_build" && ctest -j "$jobs" --timeout 300 --output-on-failure)
fi

if [[ $phases != *" windows "* ]]; then exit 0; fi

if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  echo "the ru_RU.UTF-8 locale is missing: Wine would fall back to code page 1252" >&2
  exit 1
fi

echo "== windows: configure and build ($win_build)"
mkdir -p "$win_build"
quiet "$win_build/configure.log" cmake -S "$root" -B "$win_build" "${generator[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DLINEPEEK_WERROR=ON
quiet "$win_build/build.log" cmake --build "$win_build" -j "$jobs"
# The tests bring their Wine environment and prefix, whose server the fixture wine.stop ends.
echo "== windows: tests under Wine (C and ru_RU.UTF-8)"
(cd "$win_build" && ctest -j "$jobs" --timeout 300 --output-on-failure)
