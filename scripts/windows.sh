#!/usr/bin/env bash
# The Windows build, cross-compiled on Debian with mingw-w64.
#
#   scripts/windows.sh         builds tamq.exe and packs it with data/ and the licences into
#                              build-windows/tamq-windows.zip
#   scripts/windows.sh test    the same, then runs the unit tests and the end-to-end test under Wine
#
# libpng has no mingw package in Debian: its first run fetches Debian's own libpng1.6 source
# package (scripts/lib/debian-source.sh, which leaves /etc/apt alone), and builds it and
# GoogleTest (from libgtest-dev's sources) into build-windows/third_party, which later runs
# reuse. Everything else it writes stays in build-windows.
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$(dirname "$0")/lib/x11.sh"
root="$TAMQ_ROOT"
build="$(tamq_build_dir windows)"   # the "windows" preset's tree
third="$build/third_party"
prefix="$third/prefix"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs="$TAMQ_JOBS"
# After "test", arguments go to ctest.
[ "${1:-build}" = test ] || { [ $# -le 1 ] && [ "${1:-build}" = build ]; } || tamq_usage "usage: scripts/windows.sh [build | test [CTEST_ARGUMENTS...]]"
tamq_arguments_checked
mode="${1:-build}"

source "$root/scripts/lib/debian-source.sh"
source "$root/scripts/lib/prefix.sh"
packages=(
  cmake g++-mingw-w64-x86-64 libz-mingw-w64-dev dpkg-dev
  nlohmann-json3-dev libgtest-dev libopenal-dev
)
if [ "$mode" = test ]; then
  packages+=(wine wine64 xvfb xdotool x11-utils x11-xserver-utils imagemagick g++ libx11-dev
    libgl1-mesa-dri libglx-mesa0)
fi


# Debian's libpng 1.6 source package, fetched once and kept; the build uses its original tarball.
fetch_libpng() {
  local cache="$third/downloads"
  debian_source_fetch libpng1.6 "$cache" >/dev/null
  if [ ! -f "$third/libpng/png.h" ]; then
    debian_source_unpack libpng1.6 "$cache" "$third/libpng"
  fi
}

build_libpng() {
  [ -f "$prefix/lib/libpng16.a" ] && return
  fetch_libpng
  tamq_step "building libpng for Windows"
  cmake -S "$third/libpng" -B "$third/libpng-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTAMQ_WINDOWS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_FRAMEWORK=OFF >/dev/null
  cmake --build "$third/libpng-build" -j "$jobs" --target install >/dev/null
}

build_googletest() {
  [ -f "$prefix/lib/libgtest.a" ] && return
  tamq_step "building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$third/googletest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTAMQ_WINDOWS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=ON >/dev/null
  cmake --build "$third/googletest-build" -j "$jobs" --target install >/dev/null
}

build_game() {
  tamq_step "building the game for Windows"
  tamq_configure windows -DTAMQ_WERROR="$TAMQ_WERROR" -DTAMQ_BUILD_TESTS="$([ "$mode" = test ] && echo ON || echo OFF)"
  tamq_build windows
}

pack_zip() {
  local stage="$build/package/tamq"
  rm -rf "$build/package"
  mkdir -p "$stage"
  cp "$build/app/tamq.exe" "$build/packaging/LICENSE.txt" "$stage/"
  cp -r "$root/data" "$stage/data"
  rm -f "$build/tamq-windows.zip"
  (cd "$build/package" && cmake -E tar cf "$build/tamq-windows.zip" --format=zip tamq)
  tamq_step "packed $build/tamq-windows.zip"
}

# A Wine prefix of our own, made once; Mono and Gecko are not wanted (and would ask).
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

run_tests() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    tamq_step "making the Wine prefix"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  tamq_step "unit tests under Wine"
  local status=0
  x11_start_server 1600x900x24 || { echo "Xvfb did not start" >&2; return 1; }
  # Under Wine each test program is one process, run one after the other as before.
  TAMQ_JOBS=1 tamq_ctest windows "$@" || status=$?
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  x11_cleanup
  [ $status -eq 0 ] || return $status

  tamq_step "end-to-end test under Wine"
  "$root/tests/e2e/run_e2e_wine.sh" "$build/app/tamq.exe" "$root" "$build/e2e" || status=$?
  wineserver -k 2>/dev/null || true
  return $status
}

tamq_install_packages "${packages[@]}"
build_libpng
build_googletest
share_json_headers "$prefix"
share_openal_headers "$prefix"
build_game
pack_zip
if [ "$mode" = test ]; then
  shift || true
  run_tests "$@"
fi
