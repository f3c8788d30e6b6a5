#!/usr/bin/env bash
# Builds the two release archives and the Debian package and prints their paths:
#   linepeek-<version>-linux-x86_64.tar.gz   native Release build (build-release/)
#   linepeek_<version>_<arch>.deb            the same build, laid out for Debian
#   linepeek-<version>-win64.zip             mingw-w64 cross build (build-release-win/)
# Each archive holds one folder with linepeek.so or linepeek.dll, linepeek.ini beside it,
# linepeek-cli, README.md and LICENSE. Tests are not built here; scripts/test.sh builds and
# checks the packages through the package tests.
#   LINEPEEK_JOBS  parallel build jobs (default 2)
set -euo pipefail
exec </dev/null

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${LINEPEEK_JOBS:-2}

# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"

# package <build folder> [cmake arguments...]: configure, build, cpack into <build>/packages.
package() {
  local build=$1
  shift
  mkdir -p "$build"
  echo "== $(basename "$build"): configure, build, cpack" >&2
  quiet "$build/configure.log" cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_BUILD_TESTS=OFF -DLINEPEEK_WERROR=ON "$@"
  quiet "$build/build.log" cmake --build "$build" -j "$jobs"
  rm -rf "$build/packages"
  quiet "$build/cpack.log" cpack --config "$build/CPackConfig.cmake" -B "$build/packages"
  find "$build/packages" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.tar.gz' -o -name '*.deb' \) |
    LC_ALL=C sort
}

native=$(package "$root/build-release")
mapfile -t archives <<<"$native"
archives+=("$(package "$root/build-release-win" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake")")
printf '%s\n' "${archives[@]}"
