# Shared by the build scripts: the CMake generator and a quiet runner for long steps.

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

# Runs a step quietly; on failure shows the end of its log.
quiet() {
  local log=$1
  shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "FAILED: $*" >&2
    return 1
  fi
}
