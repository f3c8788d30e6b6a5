#!/bin/sh
# The "Line count" request against the read floor (dd bs=1M), wc -l and grep -c on page-cached
# files of about 1 GiB each: typical text, very long lines, and half the typical text as UTF-16 LE
# and as UTF-16 BE, each with a byte order mark.
#
#   bench/line_count.sh            (ROUNDS=7 SIZE_MIB=1024 BUILD=build-bench by default)
#
# Builds the module and the driver (Release), writes the data deterministically into a temporary
# folder (removed on exit; about 4 GiB), warms the page cache, then times every contender in
# alternation and prints median, min, max, throughput and the ratios to wc -l and the floor.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-bench}
rounds=${ROUNDS:-7}
size=${SIZE_MIB:-1024}

# A new build folder gets no tests; an existing one (bench/run.sh passes its own) keeps them.
tests=
[ -f "$build/CMakeCache.txt" ] || tests=-DLINEPEEK_BUILD_TESTS=OFF
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_BUILD_BENCHMARKS=ON \
  $tests > /dev/null
cmake --build "$build" -j 2 --target linepeek linepeek_bench_data linepeek_count_driver > /dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/linepeek_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# One module copy per SkipEmpty setting, each beside its own settings file.
for skip in 0 1; do
  mkdir "$work/skip$skip"
  cp "$build/linepeek.so" "$work/skip$skip/linepeek.so"
  printf '[Options]\nSkipEmpty=%s\n' "$skip" > "$work/skip$skip/linepeek.ini"
done

for style in text long utf16 utf16be; do
  case $style in utf16*) mib=$((size / 2)) ;; *) mib=$size ;; esac
  "$build/bench/linepeek_bench_data" "$style" "$mib" "$work/$style.txt"
  # A second name for the same file keeps the module's one-file cache from answering.
  ln "$work/$style.txt" "$work/$style.txt.alt"
  cat "$work/$style.txt" > /dev/null
done

"$build/bench/linepeek_count_driver" "$rounds" "$work/skip0/linepeek.so" \
  "$work/skip1/linepeek.so" "$work/text.txt" "$work/long.txt" "$work/utf16.txt" \
  "$work/utf16be.txt"
