#!/usr/bin/env bash
# The native test suite under AddressSanitizer and UndefinedBehaviorSanitizer (the fuzz corpora
# replayed as well), then the concurrency tests under ThreadSanitizer. Prints a summary and exits
# non-zero when any stage fails. About 15 minutes on two cores from an empty build folder.
#
# Usage: scripts/sanitize.sh [all|asan|tsan]      (default all)
# Environment: CXX (compiler, default g++; clang++ works too), LINEPEEK_JOBS (default 2),
#              LINEPEEK_ASAN_BUILD / LINEPEEK_TSAN_BUILD (build folders, default build-asan and
#              build-tsan), LINEPEEK_CTEST_ARGS (extra ctest arguments for the ASan stage,
#              such as "-LE slow"), LINEPEEK_TSAN_TESTS (ctest -R pattern of the tests that
#              run threads, default below), LINEPEEK_STRESS_SECONDS (load test length, 5).
set -uo pipefail

stages=${1:-all}
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${LINEPEEK_JOBS:-2}
compiler=${CXX:-g++}
asan_build=${LINEPEEK_ASAN_BUILD:-$root/build-asan}
tsan_build=${LINEPEEK_TSAN_BUILD:-$root/build-tsan}
read -r -a extra_ctest <<<"${LINEPEEK_CTEST_ARGS:-}"
# The tests that start threads: requests from many threads, the value lock, the load test, and
# the CLI's parallel workers.
tsan_tests=${LINEPEEK_TSAN_TESTS:-Concurrent|Threads|LoadTest|cli[.]jobs|lifecycle[.]exit-busy}
export LINEPEEK_STRESS_SECONDS=${LINEPEEK_STRESS_SECONDS:-5}

# shellcheck source=scripts/common.sh
source "$root/scripts/common.sh"

# Sanitizer reports end the process with an error; leaks are reported at exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
# No test may depend on the machine's locale.
export LANG=C.UTF-8

summary=()
failed=0
record() { # stage, status, seconds
  local verdict=ok
  if [[ $2 -ne 0 ]]; then
    verdict="FAILED (exit $2)"
    failed=1
  fi
  summary+=("$(printf '%-34s %-16s %5ds' "$1" "$verdict" "$3")")
}

# configure_and_build folder sanitizers [cmake arguments...]
configure_and_build() {
  local folder=$1 sanitizers=$2
  shift 2
  fresh_on_compiler_change "$folder" "$compiler"
  mkdir -p "$folder"
  cmake -S "$root" -B "$folder" "${generator[@]}" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINEPEEK_BUILD_TESTS=ON \
    "-DLINEPEEK_SANITIZE=$sanitizers" "$@" >"$folder/configure.log" 2>&1 ||
    { cat "$folder/configure.log"; return 1; }
  cmake --build "$folder" -j "$jobs"
}

run_stage() { # name, command...
  local name=$1 start status
  shift
  echo "== $name"
  start=$SECONDS
  "$@"
  status=$?
  record "$name" "$status" $((SECONDS - start))
  return "$status"
}

mkdir -p "$(dirname "$asan_build")" "$(dirname "$tsan_build")"

if [[ $stages == all || $stages == asan ]]; then
  if run_stage "ASan+UBSan build ($compiler)" configure_and_build "$asan_build" "address;undefined" \
    -DLINEPEEK_BUILD_FUZZERS=ON; then
    run_stage "ASan+UBSan tests and corpus replay" ctest --test-dir "$asan_build" \
      --output-on-failure --no-tests=error -j "$jobs" --timeout 900 "${extra_ctest[@]}"
  fi
fi

if [[ $stages == all || $stages == tsan ]]; then
  if run_stage "TSan build ($compiler)" configure_and_build "$tsan_build" thread \
    -DLINEPEEK_BUILD_FUZZERS=OFF; then
    run_stage "TSan concurrency tests" ctest --test-dir "$tsan_build" -R "$tsan_tests" \
      --output-on-failure --no-tests=error -j 1 --timeout 900
  fi
fi

echo
echo "Sanitizer summary:"
printf '  %s\n' "${summary[@]}"
if [[ $failed -ne 0 ]]; then
  echo "FAILED"
  exit 1
fi
echo "All sanitizer stages passed."
