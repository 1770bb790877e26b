#!/usr/bin/env bash
# The build trees, one per preset of CMakePresets.json: "default" in build/, every other
# preset NAME in build-NAME/. Sourced.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# tamq_build_dir PRESET: the preset's build tree.
tamq_build_dir() {
  if [ "$1" = default ]; then
    echo "$TAMQ_ROOT/build"
  else
    echo "$TAMQ_ROOT/build-$1"
  fi
}

# tamq_configure PRESET [CMAKE ARGUMENTS...]: configures the preset's tree, quietly
# unless it fails.
tamq_configure() {
  local preset="$1"
  shift
  local log
  log="$(mktemp)"
  if ! (cd "$TAMQ_ROOT" && cmake --preset "$preset" "$@") >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# tamq_build PRESET [TARGET...]: builds the preset's tree, or only the named targets.
tamq_build() {
  local preset="$1"
  shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  (cd "$TAMQ_ROOT" && cmake --build --preset "$preset" -j "$TAMQ_JOBS" "${targets[@]}")
}

# tamq_ctest PRESET [CTEST ARGUMENTS...]: runs the preset's tests.
tamq_ctest() {
  local preset="$1"
  shift
  (cd "$TAMQ_ROOT" && ctest --preset "$preset" -j "$TAMQ_JOBS" "$@")
}
