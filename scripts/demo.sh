#!/usr/bin/env bash
# Builds the module and the terminal host, then shows the bundled samples the way a file manager
# would see them. Extra arguments go to linepeek-cli (default: -r samples/files).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"
fresh_on_compiler_change "$build" "${CXX:-c++}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DLINEPEEK_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target linepeek linepeek-cli -j "$(nproc)" >/dev/null
if [ $# -eq 0 ]; then
  cd "$root"
  set -- -r samples/files
fi
exec "$build/linepeek-cli" "$@"
