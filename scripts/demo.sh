#!/usr/bin/env bash
# Builds the module and the terminal host, then shows the bundled samples the way a file manager
# would see them, with the sample settings and the opt-in "Line endings" and "Charset" columns
# switched on and the line columns in each file's own charset ("-u auto"). Extra arguments go to
# linepeek-cli (default: -r -u auto samples/files). Installs what the build needs first when run
# as root (scripts/install-deps.sh build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
bash "$root/scripts/install-deps.sh" build
# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"
fresh_on_compiler_change "$build" "${CXX:-c++}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DLINEPEEK_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target linepeek linepeek-cli -j "$(nproc)" >/dev/null
# The demo shows the opt-in columns too: a copy of the module beside the sample settings with
# LineEndings=1 and Charset=1. The module in the build folder keeps its defaults.
demo="$build/demo"
mkdir -p "$demo"
cp -f "$build/linepeek.so" "$demo/linepeek.so"
sed -e 's/^LineEndings=0/LineEndings=1/' -e 's/^Charset=0/Charset=1/' "$root/samples/linepeek.ini" \
  >"$demo/linepeek.ini"
if [ $# -eq 0 ]; then
  cd "$root"
  set -- -r -u auto samples/files
fi
exec "$build/linepeek-cli" --module "$demo/linepeek.so" "$@"
