# Shared by the build scripts: the CMake generator, the reset of a build folder whose compiler
# changed, and a quiet runner for long steps.

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

# fresh_on_compiler_change <build folder> <compiler>: CMake drops every -D setting when a
# build folder changes compiler, so such a folder starts afresh instead.
fresh_on_compiler_change() {
  local folder=$1 compiler=$2 cached
  [[ -f $folder/CMakeCache.txt ]] || return 0
  cached=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$folder/CMakeCache.txt")
  if [[ $(readlink -f "$cached") != $(readlink -f "$(command -v "$compiler")") ]]; then
    rm -rf "$folder/CMakeCache.txt" "$folder/CMakeFiles"
  fi
}

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
