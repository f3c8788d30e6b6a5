#!/bin/sh
# Peak memory of a full row (every field, unit 0) through the built module, loaded by a minimal
# host: on a 1 GiB text file, on 5 GiB sparse files with and without LFs, and on files that are
# one 4 MiB line (ANSI, UTF-8, UTF-16), each once with the default settings and once with twenty
# chained replacement pairs that each lengthen the text as far as it may go; on 4 MiB lines in
# multi-byte charsets (Shift_JIS, GB18030, the stateful ISO-2022-JP) through the "auto" unit,
# with and without the pairs; and on 8-bit texts
# that keep the charset detector's probers busy (every high byte, and Cyrillic in code page
# 1251), with the default settings and with "Line endings" and "Charset" switched on. Fails
# when a row grows the host's peak resident size, or its peak heap under valgrind massif, by
# 16 MiB or more.
#
#   bench/memory.sh               BUILD_DIR (default build) holds or receives linepeek.so
#   BUILD_DIR=build-x DATA_DIR=/big/tmp bench/memory.sh
#   MASSIF=0 bench/memory.sh      peak resident size only (massif takes a few minutes)
#   SHAPES=line bench/memory.sh   only the 4 MiB lines ("big" for the large files only,
#                                 "charset" for the detector's texts, "auto" for the lines
#                                 in multi-byte charsets)
#
# Linux updates the peak resident size lazily, so a buffer that is mapped, filled and unmapped
# between two updates can be missed; massif sees every heap block and is the figure to trust.
# Its peak includes the host's own few KiB of heap.
#
# The module reads the settings file named like itself beside itself, so the pairs go into a
# linepeek.ini beside a copy of the module. Each host run is limited to 2 GiB of address space
# and 300 seconds, so that a module without bounds fails the row instead of the machine.
#
# The data files (about 1 GiB on disk; the sparse ones take almost none) are removed afterwards.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
shapes=${SHAPES:-big line charset auto}
limit_kib=$((16 * 1024))

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLINEPEEK_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" --target linepeek -j 2 >/dev/null

data=$(mktemp -d "${DATA_DIR:-${TMPDIR:-/tmp}}/linepeek-memory.XXXXXX")
trap 'rm -rf "$data"' EXIT INT TERM

host="$data/memory_host"
g++ -std=c++17 -O2 -Wall -Wextra -o "$host" "$root/bench/memory_host.cpp" -ldl

# Four copies of the module: one without a settings file, one with the pairs, one with the
# opt-in fields, one with the pairs and the opt-in fields.
mkdir "$data/plain" "$data/pairs" "$data/optin" "$data/optin-pairs"
for copy in plain pairs optin optin-pairs; do cp "$build/linepeek.so" "$data/$copy/linepeek.so"; done
printf '[Options]\nLineEndings=1\nCharset=1\n[Encoding]\nBinaryIgnore=0E 0F 1B\n' >"$data/optin/linepeek.ini"
# S1 turns every 'a' into 2,045 'b's, S2 every U+4E2D into as many 'b's; from S3 on each pair
# turns every unit the one before produced into 2,045 of the next letter.
{
  echo "[Replaces]"
  printf 'S1=a=%s\n' "$(head -c 2045 /dev/zero | tr '\0' b)"
  printf 'S2=\344\270\255=%s\n' "$(head -c 2045 /dev/zero | tr '\0' b)"
  slot=3
  for pair in bc cd de ef fg gh hi ij jk kl lm mn no op pq qr rs st; do
    from=$(printf %s "$pair" | cut -c1)
    to=$(printf %s "$pair" | cut -c2)
    printf 'S%d=%s=%s\n' "$slot" "$from" "$(head -c 2045 /dev/zero | tr '\0' "$to")"
    slot=$((slot + 1))
  done
} >"$data/pairs/linepeek.ini"
cat "$data/optin/linepeek.ini" "$data/pairs/linepeek.ini" >"$data/optin-pairs/linepeek.ini"

case " $shapes " in *" big "*)
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
  ;;
esac
case " $shapes " in *" line "*)
  # One line of 4,194,304 bytes, the longest the module takes from a file, without an LF: the
  # head and the tail each hold all of it. UTF-8 and UTF-16 start with their byte order mark;
  # the UTF-16 units are all U+4E2D, three bytes each in the UTF-8 the lines are held in.
  head -c 4194304 /dev/zero | tr '\0' a >"$data/line-ansi.txt"
  { printf '\357\273\277'; head -c 4194301 /dev/zero | tr '\0' a; } >"$data/line-utf8.txt"
  printf '\055\116' >"$data/unit"
  for _ in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21; do
    cat "$data/unit" "$data/unit" >"$data/units" && mv "$data/units" "$data/unit"
  done
  { printf '\377\376'; head -c 4194302 "$data/unit"; } >"$data/line-utf16.txt"
  rm "$data/unit"
  ;;
esac

case " $shapes " in *" auto "*)
  # One line of about 4 MiB in each multi-byte charset, without an ASCII byte but the LF that
  # ends it, so that the decoder finds its piece ends only by walking the characters.
  printf '今週の予定、市場で果物と野菜を買い、図書館で新しい本を読みます。' >"$data/unit"
  while [ "$(wc -c <"$data/unit")" -lt 6500000 ]; do
    cat "$data/unit" "$data/unit" >"$data/units" && mv "$data/units" "$data/unit"
  done
  for charset in CP932 GB18030 ISO-2022-JP; do
    { iconv -f UTF-8 -t "$charset" "$data/unit" | head -c 4190000; echo; } >"$data/auto-$charset.txt"
  done
  rm "$data/unit"
  ;;
esac

case " $shapes " in *" charset "*)
  # 1 MiB each: lines of every byte from 0x80 to 0xFF, which no prober settles on, and Russian
  # words in code page 1251.
  awk 'BEGIN { for (b = 128; b < 256; b++) line = line sprintf("%c", b); print line }' |
    LC_ALL=C sed 's/.\{8\}/& /g' >"$data/unit"
  while [ "$(wc -c <"$data/unit")" -lt 1048576 ]; do
    cat "$data/unit" "$data/unit" >"$data/units" && mv "$data/units" "$data/unit"
  done
  head -c 1048576 "$data/unit" >"$data/charset-high.txt"
  printf '\323\362\360\356\354 \357\360\350\345\345\345\342 \342 \343\356\360\356\344.\n' >"$data/unit"
  while [ "$(wc -c <"$data/unit")" -lt 1048576 ]; do
    cat "$data/unit" "$data/unit" >"$data/units" && mv "$data/units" "$data/unit"
  done
  head -c 1048576 "$data/unit" >"$data/charset-1251.txt"
  rm "$data/unit"
  ;;
esac

# One row: "baseline peak growth" and the answers, or the reason it did not come back.
row() {
  (
    ulimit -v $((2 * 1024 * 1024))
    exec timeout 300 "$1" "$2" "$3" "$4"
  ) >"$data/out" 2>"$data/err" || {
    code=$?
    echo "- - - exit $code $(head -c 200 "$data/err" | tr '\n' ' ')" >"$data/out"
  }
}

status=0
printf '%-28s %12s %12s %12s %14s\n' file baseline_KiB peak_KiB growth_KiB massif_heap_KiB
measure() {
  label=$1 module=$2 file=$3
  row "$host" "$module" "$data/$file" "${4:-0}"
  read -r baseline peak growth rest <"$data/out"
  heap_kib=-
  # Massif only for rows that stayed inside the limit: it adds nothing to a row already over it.
  if [ "${MASSIF:-1}" = 1 ] && [ "$growth" != - ] && [ "$growth" -lt "$limit_kib" ]; then
    timeout 1200 valgrind --tool=massif --massif-out-file="$data/massif.out" \
      "$host" "$module" "$data/$file" "${4:-0}" >/dev/null 2>&1
    heap_b=$(sed -n 's/^mem_heap_B=//p' "$data/massif.out" | sort -n | tail -1)
    heap_kib=$((heap_b / 1024))
  fi
  printf '%-28s %12s %12s %12s %14s\n' "$label" "$baseline" "$peak" "$growth" "$heap_kib"
  if [ "$growth" = - ]; then
    echo "  failed: $rest" >&2
    status=1
    return
  fi
  tail -n +2 "$data/out" | grep -E 'field (0|12|13|14|15|16|17):' | grep -v '(-1)$' || true
  if [ "$growth" -ge "$limit_kib" ] || { [ "$heap_kib" != - ] && [ "$heap_kib" -ge "$limit_kib" ]; }; then
    echo "  over the limit of $limit_kib KiB" >&2
    status=1
  fi
}

case " $shapes " in *" big "*)
  for file in text-1g.txt sparse-5g-lf.txt sparse-5g-nolf.txt; do
    measure "$file" "$data/plain/linepeek.so" "$file"
  done
  ;;
esac
case " $shapes " in *" line "*)
  for file in line-ansi.txt line-utf8.txt line-utf16.txt; do
    measure "$file" "$data/plain/linepeek.so" "$file"
    measure "$file, pairs" "$data/pairs/linepeek.so" "$file"
  done
  ;;
esac
case " $shapes " in *" auto "*)
  for charset in CP932 GB18030 ISO-2022-JP; do
    measure "auto-$charset.txt, auto" "$data/optin/linepeek.so" "auto-$charset.txt" 2
    measure "auto-$charset.txt, auto, pairs" "$data/optin-pairs/linepeek.so" "auto-$charset.txt" 2
  done
  ;;
esac
case " $shapes " in *" charset "*)
  for file in charset-high.txt charset-1251.txt; do
    measure "$file" "$data/plain/linepeek.so" "$file"
    measure "$file, opt-in fields" "$data/optin/linepeek.so" "$file"
  done
  ;;
esac
exit $status
