#!/bin/sh
# Peak memory of a full row (all sixteen fields, unit 0) through the built module, loaded by a
# minimal host, on a 1 GiB text file and on 5 GiB sparse files with and without LFs. Fails when
# a row grows the host's peak resident size, or its peak heap under valgrind massif, by 16 MiB
# or more.
#
#   bench/memory.sh               BUILD_DIR (default build) holds or receives linepeek.so
#   BUILD_DIR=build-x DATA_DIR=/big/tmp bench/memory.sh
#   MASSIF=0 bench/memory.sh      peak resident size only (massif takes a few minutes)
#
# Linux updates the peak resident size lazily, so a buffer that is mapped, filled and unmapped
# between two updates can be missed; massif sees every heap block and is the figure to trust.
# Its peak includes the host's own few KiB of heap.
#
# The data files (about 1 GiB on disk; the sparse ones take almost none) are removed afterwards.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
limit_kib=$((16 * 1024))

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target linepeek -j 2 >/dev/null
module="$build/linepeek.so"

data=$(mktemp -d "${DATA_DIR:-${TMPDIR:-/tmp}}/linepeek-memory.XXXXXX")
trap 'rm -rf "$data"' EXIT INT TERM

host="$data/memory_host"
g++ -std=c++17 -O2 -Wall -Wextra -o "$host" "$root/bench/memory_host.cpp" -ldl

# 1 GiB of 64-byte lines: the count reads it all.
yes "a line of ordinary text, sixty-three bytes long plus its LF...." |
  head -c 1073741824 >"$data/text-1g.txt"
# 5 GiB of holes, with and without lines at both ends.
truncate -s 5G "$data/sparse-5g-nolf.txt"
truncate -s 5G "$data/sparse-5g-lf.txt"
printf 'first\nsecond\n' | dd of="$data/sparse-5g-lf.txt" conv=notrunc status=none
printf '\npenultimate\nlast\n' |
  dd of="$data/sparse-5g-lf.txt" bs=1 seek=$((5 * 1024 * 1024 * 1024 - 18)) conv=notrunc \
    status=none

status=0
printf '%-24s %12s %12s %12s %14s\n' file baseline_KiB peak_KiB growth_KiB massif_heap_KiB
for file in text-1g.txt sparse-5g-lf.txt sparse-5g-nolf.txt; do
  "$host" "$module" "$data/$file" >"$data/out"
  read -r baseline peak growth <"$data/out"
  heap_kib=-
  if [ "${MASSIF:-1}" = 1 ]; then
    valgrind --tool=massif --massif-out-file="$data/massif.out" \
      "$host" "$module" "$data/$file" >/dev/null 2>&1
    heap_b=$(sed -n 's/^mem_heap_B=//p' "$data/massif.out" | sort -n | tail -1)
    heap_kib=$((heap_b / 1024))
  fi
  printf '%-24s %12s %12s %12s %14s\n' "$file" "$baseline" "$peak" "$growth" "$heap_kib"
  tail -n +2 "$data/out" | grep -E 'field (0|12|13|14|15):' || true
  if [ "$growth" -ge "$limit_kib" ] || { [ "$heap_kib" != - ] && [ "$heap_kib" -ge "$limit_kib" ]; }; then
    echo "  over the limit of $limit_kib KiB" >&2
    status=1
  fi
done
exit $status
