# Sourced by the scripts that build (RAVELIN_ROOT set): the one
# configure-and-build step.
#
#   ravelin_build DIR [--mingw i686|x86_64] [cmake options...] [--target TARGET...]
#
# Configures DIR from RAVELIN_ROOT with the options given (--mingw: the
# mingw-w64 toolchain of that architecture), then builds the targets (all of
# them without --target) with JOBS jobs (default 2). The output goes to
# DIR.configure.log and DIR.build.log; on a failure the errors are shown and
# the status is non-zero.
ravelin_build() {
  local dir=$1
  shift
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != --target ]; do
    if [ "$1" = --mingw ]; then
      args+=("-DCMAKE_TOOLCHAIN_FILE=$RAVELIN_ROOT/cmake/mingw-$2.cmake")
      shift 2
    else
      args+=("$1")
      shift
    fi
  done
  [ $# -gt 0 ] && { shift; targets=(--target "$@"); }
  mkdir -p "$(dirname "$dir")"
  cmake -S "$RAVELIN_ROOT" -B "$dir" "${args[@]}" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "${JOBS:-2}" "${targets[@]}" >"$dir.build.log" 2>&1 \
    || { grep -E "error|warning" "$dir.build.log" | head -n 20; tail -n 30 "$dir.build.log"; return 1; }
}
