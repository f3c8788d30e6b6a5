#!/bin/sh
# Every speed and memory comparison of linepeek in one run, each against a floor or a peer tool
# measured in the same run, in alternation; prints medians with min and max, and the ratios.
#
#   bench/run.sh                 the full run (about 15 minutes on 2 cores)
#   QUICK=1 bench/run.sh         a smaller run (about 3 minutes): fewer files, rounds and bytes
#   BUILD=dir SECTIONS="rows ends" bench/run.sh
#
# Sections (SECTIONS, default all): rows, cache, charset, tree, ends, memory, count. Builds what
# it needs in Release (BUILD, default build-perf), writes its data deterministically into a
# temporary folder (TMPDIR; removed on exit; about 6 GiB on disk at the peak, the 50 GiB files
# are sparse) and warms the page cache before timing.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-perf}
sections=${SECTIONS:-rows cache charset tree ends memory count}
if [ "${QUICK:-0}" = 1 ]; then
  files=2000 rounds=3 end_rounds=60 count_mib=128 count_rounds=3 memory_mib=256
else
  files=10000 rounds=5 end_rounds=200 count_mib=1024 count_rounds=5 memory_mib=1024
fi

# The peer tools go first: a missing one would otherwise stop the run half-way.
for tool in uchardet file dos2unix wc grep; do
  command -v "$tool" > /dev/null ||
    { echo "bench/run.sh needs $tool (Debian: apt-get install uchardet file dos2unix)" >&2; exit 1; }
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_BUILD_BENCHMARKS=ON \
  > /dev/null
cmake --build "$build" -j 2 --target linepeek linepeek-cli linepeek_bench_data \
  linepeek_alternate linepeek_row_driver linepeek_row_floor linepeek_count_driver > /dev/null
module=$build/linepeek.so
driver=$build/bench/linepeek_row_driver
data=$build/bench/linepeek_bench_data

work=$(mktemp -d "${TMPDIR:-/tmp}/linepeek_run.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

has() { case " $sections " in *" $1 "*) return 0 ;; esac; return 1; }

echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
echo "flags: $(grep -m1 '^flags' /proc/cpuinfo | cut -d: -f2- | tr ' ' '\n' |
  grep -E '^(sse4_2|avx|avx2|avx512f|avx512bw|popcnt|erms)$' | tr '\n' ' ')"
echo "kernel: $(uname -r); uchardet $(uchardet --version | sed -n 's/^Version //p'); $(file --version | head -1); $(dos2unix --version | head -1)"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes)"
echo "build: $build (Release), QUICK=${QUICK:-0}"

if has rows || has cache || has charset || has tree; then
  mkdir "$work/rows"
  "$data" rows "$files" "$work/rows"
  cat "$work/rows"/* > /dev/null
fi

if has rows; then
  echo
  echo "== rows: $files small files, all sixteen fields, unit 0 (time per pass over the folder)"
  # The peers get every file as an argument of one process: their best case. A file manager
  # starting them once per file would pay a process start per file on top.
  "$build/bench/linepeek_alternate" "$rounds" "$files" \
    floor "'$build/bench/linepeek_row_floor' '$work/rows'" \
    driver "'$driver' '$module' row '$work/rows'" \
    "linepeek-cli -f all -o tsv" "'$build/linepeek-cli' --module '$module' -f all -o tsv '$work/rows'" \
    "uchardet (all args)" "cd '$work/rows' && uchardet *" \
    "file --mime-encoding (all)" "cd '$work/rows' && file -b --mime-encoding *"

  echo
  echo "== rows by encoding: every fifth file; the driver against the floor on the same files"
  printf '%-16s %14s %14s %9s\n' encoding floor_ms driver_ms ratio
  i=0
  for kind in ascii utf8-cyrillic cp1251 cp866 utf16le; do
    mkdir "$work/$kind"
    i=$((i + 1))
    ls "$work/rows" | sed -n "$i~5p" | while read -r name; do ln "$work/rows/$name" "$work/$kind/"; done
    "$build/bench/linepeek_alternate" "$rounds" 0 \
      floor "'$build/bench/linepeek_row_floor' '$work/$kind'" \
      driver "'$driver' '$module' row '$work/$kind'" |
      awk -v kind="$kind" '$1 == "floor" { f = $2 } $1 == "driver" { printf "%-16s %14s %14s %9s\n", kind, f, $2, $5 }'
  done
fi

if has cache; then
  echo
  echo "== cache: each file's row twice; the frame is 16 x stat of the name"
  "$driver" "$module" cache "$work/rows"
fi

if has charset; then
  echo
  echo "== charset: \"Charset\" alone of each of the $files files against uchardet on the same files"
  # A copy of the module beside settings that offer the column; with LineEndings off it is
  # field 16. uchardet gets every file as an argument of one process, as in "rows".
  mkdir "$work/charset"
  cp "$module" "$work/charset/linepeek.so"
  printf '[Options]\nCharset=1\n' >"$work/charset/linepeek.ini"
  # linepeek-cli as a user runs it, with its default workers (one per core, at most 8).
  "$build/bench/linepeek_alternate" "$rounds" "$files" \
    "uchardet (all args)" "cd '$work/rows' && uchardet *" \
    "linepeek-cli (default -j)" \
    "'$build/linepeek-cli' --module '$work/charset/linepeek.so' -o tsv -f Charset '$work/rows'" \
    "driver: Charset" "'$driver' '$work/charset/linepeek.so' field 16 '$work/rows'" \
    "driver: Encoding" "'$driver' '$work/charset/linepeek.so' field 14 '$work/rows'"
  # The thirteen line fields in the unit "auto", the file's own charset, beside Charset: the
  # detector runs once per file, and decoding in the charset must add little to it.
  echo
  echo "== charset: the thirteen line fields in \"auto\" and \"Charset\" against \"Charset\" alone"
  "$build/bench/linepeek_alternate" "$rounds" "$files" \
    "driver: Charset" "'$driver' '$work/charset/linepeek.so' field 16 '$work/rows'" \
    "driver: lines in auto + Charset" \
    "'$driver' '$work/charset/linepeek.so' field 0,1,2,3,4,5,6,7,8,9,10,11,12,16 '$work/rows' 2" \
    "driver: lines in win + Charset" \
    "'$driver' '$work/charset/linepeek.so' field 0,1,2,3,4,5,6,7,8,9,10,11,12,16 '$work/rows' 0"
fi

if has tree; then
  echo
  echo "== tree: $files small files; Type, Encoding, Line endings and Line count"
  # A copy of the module beside settings that offer "Line endings"; every worker loads it.
  mkdir "$work/tree"
  cp "$module" "$work/tree/"
  sed 's/^LineEndings=0$/LineEndings=1/' "$root/samples/linepeek.ini" > "$work/tree/linepeek.ini"
  cli="'$build/linepeek-cli' --module '$work/tree/linepeek.so' -o tsv"
  cli="$cli -f 'Type,Encoding,Line endings,Line count' '$work/rows'"
  "$build/bench/linepeek_alternate" "$rounds" "$files" \
    "linepeek-cli (default -j)" "$cli" \
    "dos2unix --info (all args)" "cd '$work/rows' && dos2unix --info *" \
    "linepeek-cli -j 1" "$cli -j 1" \
    "linepeek-cli -j 2" "$cli -j 2" \
    "file --mime-encoding (all)" "cd '$work/rows' && file -b --mime-encoding *" |
    tee "$work/tree.txt"
  # Labels hold blanks: the median is the sixth field from the end.
  awk '/^linepeek-cli -j 1 / { one = $(NF - 5) } /^linepeek-cli -j 2 / { two = $(NF - 5) }
    END { printf "-j 2 / -j 1: %.3f (the default -j is %d here)\n", two / one, cores < 8 ? cores : 8 }' \
    cores="$(nproc)" "$work/tree.txt"
fi

if has ends; then
  echo
  echo "== far ends: \"-1\", \"-2\", \"-3\" and \"1\" of sparse files, cache refilled for every set"
  # Twelve lines at the start and four at the end, holes between: the first windows at both
  # ends hold every line asked for.
  head_text=$(printf 'head line %02d of the sparse file\n' 1 2 3 4 5 6 7 8 9 10 11 12)
  tail_text=$(printf 'tail line %d of the sparse file\n' 1 2 3 4)
  for sizing in 1M:1048576 1G:1073741824 50G:53687091200; do
    name=${sizing%%:*} bytes=${sizing#*:}
    file="$work/sparse-$name.txt"
    truncate -s "$bytes" "$file"
    printf '%s\n' "$head_text" | dd of="$file" conv=notrunc status=none
    tail_bytes=$(printf '%s\n' "$tail_text" | wc -c)
    printf '%s\n' "$tail_text" |
      dd of="$file" bs=1 seek=$((bytes - tail_bytes)) conv=notrunc status=none
    ln "$file" "$file.alt"
  done
  "$driver" "$module" ends "$end_rounds" "$work/sparse-1M.txt" "$work/sparse-1G.txt" \
    "$work/sparse-50G.txt"
fi

if has memory; then
  echo
  echo "== memory: one row per process; growth of the peak resident size over the baseline"
  "$data" text "$memory_mib" "$work/text.txt"
  "$data" utf16 $((memory_mib / 2)) "$work/utf16.txt"
  if [ ! -f "$work/sparse-50G.txt" ]; then
    truncate -s 50G "$work/sparse-50G.txt"
    printf 'first\nsecond\n' | dd of="$work/sparse-50G.txt" conv=notrunc status=none
  fi
  for file in text.txt utf16.txt sparse-50G.txt; do
    cat "$work/$file" > /dev/null
    printf '%-16s %s\n' "$file" "$("$driver" "$module" memory "$work/$file")"
  done
  rm -f "$work/text.txt" "$work/utf16.txt"
fi

if has count; then
  echo
  echo "== line count: bench/line_count.sh, SIZE_MIB=$count_mib ROUNDS=$count_rounds"
  BUILD=$build SIZE_MIB=$count_mib ROUNDS=$count_rounds "$root/bench/line_count.sh"
fi
