#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan and UBSan, coverage on the libraries too)
# and runs each one for a bounded time on a copy of its seed corpus. Prints the executions per
# target and fails when any target crashes, leaks, hangs or reports a mismatch; the input that
# did it is copied into fuzz/corpus/<target>/ so that it replays as a regression test.
#
# Usage: fuzz/run.sh [seconds per target, default 60] [seconds for request_large_fuzzer]
#   request_large_fuzzer builds files of up to 4 MiB and runs a few inputs a second, so it has a
#   budget of its own: by default twice the others'.
# Environment: LINEPEEK_FUZZ_BUILD (build folder, default build-fuzz), LINEPEEK_JOBS (default 2),
#              LINEPEEK_FUZZ_TARGETS (space-separated subset of the targets, fuzz/<name>.cpp).
set -euo pipefail

seconds=${1:-60}
large_seconds=${2:-$((seconds * 2))}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${LINEPEEK_FUZZ_BUILD:-$root/build-fuzz}
jobs=${LINEPEEK_JOBS:-2}
# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"

# Every target and its longest input.
all_targets=()
for source in "$root"/fuzz/*_fuzzer.cpp; do all_targets+=("$(basename "$source" .cpp)"); done
max_len() {
  case $1 in
  encoding_fuzzer) echo 9000 ;; # the encoding tests look at prefixes of a few KB
  replacements_fuzzer) echo 1024 ;;
  *) echo 4096 ;;
  esac
}
budget() {
  case $1 in
  request_large_fuzzer) echo "$large_seconds" ;;
  *) echo "$seconds" ;;
  esac
}
read -r -a targets <<<"${LINEPEEK_FUZZ_TARGETS:-${all_targets[*]}}"
for target in "${targets[@]}"; do
  [[ -f $root/fuzz/$target.cpp ]] || { echo "unknown fuzz target: $target" >&2; exit 2; }
done

fresh_on_compiler_change "$build" clang++
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINEPEEK_BUILD_FUZZERS=ON -DLINEPEEK_BUILD_TESTS=OFF \
  -DLINEPEEK_BUILD_BENCHMARKS=OFF "-DLINEPEEK_SANITIZE=address;undefined;fuzzer-no-link" >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/linepeek-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The targets' own scratch files go here too: libFuzzer ends a timed run without running the
# targets' exit handlers, which would otherwise leave them behind.
mkdir -p "$work/tmp"
export TMPDIR=$work/tmp
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Code pages fixed, so that runs do not depend on the machine's locale.
export LINEPEEK_CODEPAGES=${LINEPEEK_CODEPAGES:-1252,437}

failed=0
summary=()
for target in "${targets[@]}"; do
  seeds=$root/fuzz/corpus/$target
  corpus=$work/corpus/$target
  artifacts=$work/artifacts/$target
  mkdir -p "$corpus" "$artifacts" "$seeds"
  log=$work/$target.log
  target_seconds=$(budget "$target")
  echo "== $target: ${target_seconds}s"
  status=0
  # New inputs go to the scratch corpus; the committed seeds are only read.
  "$build/fuzz/$target" "$corpus" "$seeds" -max_total_time="$target_seconds" -rss_limit_mb=2048 \
    -timeout=20 -max_len="$(max_len "$target")" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  execs=${execs:-?}
  # libFuzzer also keeps an input that took over 10 s but finished within the timeout: no fault,
  # as a 4 MiB input of request_large_fuzzer can take that long on a loaded machine.
  found=$(find "$artifacts" -type f ! -name 'slow-unit-*' | sort)
  if [[ $status -ne 0 || -n $found ]]; then
    failed=1
    grep -E "linepeek fuzz mismatch|ERROR:|runtime error|SUMMARY" "$log" | head -n 5 || true
    cp "$log" "$build/fuzz/$target.last.log"
    echo "   full log: $build/fuzz/$target.last.log"
    for input in $found; do
      cp "$input" "$seeds/"
      echo "   regression seed: fuzz/corpus/$target/$(basename "$input")"
    done
    summary+=("$(printf '%-24s %12s executions in %4ss  FAILED (exit %d)' "$target" "$execs" \
      "$target_seconds" "$status")")
  else
    summary+=("$(printf '%-24s %12s executions in %4ss  ok' "$target" "$execs" "$target_seconds")")
  fi
done

echo
echo "Fuzzing summary:"
printf '  %s\n' "${summary[@]}"
if [[ $failed -ne 0 ]]; then
  echo "FAILED: new regression seeds are in fuzz/corpus/; replay one with build-fuzz/fuzz/<target> <file>"
  exit 1
fi
echo "All fuzz targets ran clean."
