#!/usr/bin/env bash
# The Windows build, cross-compiled on Debian with mingw-w64.
#
#   scripts/windows.sh         builds tamq.exe and packs it with data/ and the licences into
#                              build-windows/tamq-windows.zip
#   scripts/windows.sh test    the same, then runs the unit tests and the end-to-end test under Wine,
#                              has the Linux build verify a run played to its end under Wine, and
#                              plays against a board of its own (tamq-board on PostgreSQL, plain
#                              and behind nginx's TLS), which the HTTP client's tests reach too
#
# libpng and OpenAL Soft have no mingw package in Debian: its first run fetches Debian's own
# libpng1.6 source package and the original tarball of trixie's openal-soft 1.24.2 (bookworm's
# 1.19.1 cannot be fetched; scripts/lib/debian-source.sh checks it against trixie's signed
# source index and leaves /etc/apt alone), and builds them and GoogleTest (from
# libgtest-dev's sources) into build-windows/third_party, which later runs reuse.
# Everything else it writes stays in build-windows.
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$(dirname "$0")/../tests/lib/x11.sh"
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
source "$root/scripts/lib/local-board.sh"
source "$root/scripts/lib/tls.sh"
packages=(
  cmake g++-mingw-w64-x86-64 libz-mingw-w64-dev dpkg-dev
  nlohmann-json3-dev libgtest-dev
)
if [ "$mode" = test ]; then
  # libgnutls30: Wine's TLS, for WinHTTP's HTTPS. The board and nginx's TLS for the HTTP tests.
  packages+=(wine wine64 libgnutls30 xvfb xdotool x11-utils x11-xserver-utils imagemagick g++ libx11-dev
    libgl1-mesa-dri libglx-mesa0 "${TAMQ_PLAY_PACKAGES[@]}" "${TAMQ_BOARD_PACKAGES[@]}" "${TAMQ_TLS_PACKAGES[@]}")
fi


# third_party_configure SOURCE BUILD [CMAKE ARGUMENTS...]: a library's Release build for the
# prefix. Through the compiler cache, so a fresh clone rebuilds the libraries quickly.
third_party_configure() {
  local source="$1" tree="$2"
  shift 2
  local launcher=()
  command -v ccache >/dev/null &&
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$source" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTAMQ_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${launcher[@]}" "$@" >/dev/null
}

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
  third_party_configure "$third/libpng" "$third/libpng-build" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF
  cmake --build "$third/libpng-build" -j "$jobs" --target install >/dev/null
}

# OpenAL Soft as the OpenAL32.dll shipped beside the game: the C and C++ runtimes and the
# threads library linked in, so it needs no DLL but Windows' own. No tools, examples or
# sample files, and no git query for a version (the tarball has none).
openal_upstream=1.24.2
openal_suite=trixie
build_openal() {
  [ -f "$prefix/bin/OpenAL32.dll" ] && [ -f "$prefix/share/openal-soft/SOURCE" ] && return
  local tarball
  tarball="$(debian_source_fetch_orig openal-soft "$openal_upstream" "$openal_suite" "$third/downloads")"
  tamq_step "building OpenAL Soft $openal_upstream for Windows"
  local started=$SECONDS
  rm -rf "$third/openal-soft"
  mkdir -p "$third/openal-soft"
  tar -xf "$tarball" -C "$third/openal-soft" --strip-components=1
  # Earlier trees linked the host's OpenAL headers here; an install must not write through it.
  [ -L "$prefix/include/AL" ] && rm "$prefix/include/AL"
  third_party_configure "$third/openal-soft" "$third/openal-soft-build" \
    -DLIBTYPE=SHARED -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF -DALSOFT_TESTS=OFF \
    -DALSOFT_INSTALL_CONFIG=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF \
    -DALSOFT_INSTALL_EXAMPLES=OFF -DALSOFT_INSTALL_UTILS=OFF -DALSOFT_UPDATE_BUILD_VERSION=OFF \
    -DALSOFT_STATIC_LIBGCC=ON -DALSOFT_STATIC_STDCXX=ON -DALSOFT_STATIC_WINPTHREAD=ON \
    -DALSOFT_BACKEND_JACK=OFF -DALSOFT_BACKEND_PORTAUDIO=OFF -DALSOFT_BACKEND_PIPEWIRE=OFF \
    -DALSOFT_BACKEND_PULSEAUDIO=OFF
  cmake --build "$third/openal-soft-build" -j "$jobs" --target install/strip >/dev/null
  # The licences of what the library holds (OpenAL Soft's LGPL, the PFFFT it includes) and
  # where its source comes from, for the packages to ship beside it.
  local sha
  sha="$(sha256sum "$tarball" | cut -d' ' -f1)"
  mkdir -p "$prefix/share/openal-soft"
  cp "$third/openal-soft/COPYING" "$third/openal-soft/LICENSE-pffft" "$prefix/share/openal-soft/"
  {
    echo "OpenAL32.dll is OpenAL Soft $openal_upstream, built unchanged with mingw-w64 from Debian $openal_suite's openal-soft $openal_upstream source package ($(basename "$tarball"), SHA-256 $sha)."
    echo "Its source: https://packages.debian.org/source/$openal_suite/openal-soft"
  } >"$prefix/share/openal-soft/SOURCE"
  tamq_step "built OpenAL32.dll ($(stat -c %s "$prefix/bin/OpenAL32.dll") bytes) in $((SECONDS - started)) s"
}

build_googletest() {
  [ -f "$prefix/lib/libgtest.a" ] && return
  tamq_step "building GoogleTest for Windows"
  third_party_configure /usr/src/googletest "$third/googletest-build" \
    -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=ON
  cmake --build "$third/googletest-build" -j "$jobs" --target install >/dev/null
}

build_game() {
  tamq_step "building the game for Windows"
  tamq_configure windows -DTAMQ_WERROR="$TAMQ_WERROR" -DTAMQ_BUILD_TESTS="$([ "$mode" = test ] && echo ON || echo OFF)"
  tamq_build windows
}

# The zip holds what the installer installs: the game, its data, OpenAL32.dll and the licences.
pack_zip() {
  local stage="$build/package/tamq"
  rm -rf "$build/package"
  cmake --install "$build" --prefix "$stage" >/dev/null
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
  build_linux_game
  tamq_step "a board for the tests under Wine"
  start_test_board || return 1
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
  [ $status -eq 0 ] || return $status

  tamq_step "a run played under Wine, verified by the Linux build"
  "$root/tests/e2e/verify_wine_run.sh" "$build/app/tamq.exe" "$linux/app/tamq" "$root" "$build/e2e" || status=$?
  wineserver -k 2>/dev/null || true
  [ $status -eq 0 ] || return $status

  tamq_step "the board end to end under Wine"
  "$root/tests/e2e/board_e2e_wine.sh" "$build/app/tamq.exe" "$root" "$build/e2e-board" \
    "$linux/app/tamq" "$linux/board/tamq-board" || status=$?
  wineserver -k 2>/dev/null || true
  # 77: a game without --board.
  [ $status -eq 77 ] && status=0
  return $status
}

# The Linux game, whose --verify checks the record the Windows build made, and the board
# the Windows build's HTTP is tested against.
build_linux_game() {
  linux="$(tamq_build_dir default)"
  [ -f "$linux/CMakeCache.txt" ] || tamq_configure default -DTAMQ_WERROR="$TAMQ_WERROR"
  tamq_build default tamq tamq-board >/dev/null
}

# The real board on a cluster of its own in a temporary folder, plain and behind nginx's TLS
# with a throwaway authority, and a second authority that signed nothing of it. The tests
# under Wine find them in the environment, the authorities' files by their path on Wine's
# drive Z:, which is /. The
# TLS board is named localhost: Wine's WinHTTP does not match a certificate's IP address.
test_board_home=""
start_test_board() {
  test_board_home="$(mktemp -d)"
  # The cluster's account (postgres, when run as root) must reach it.
  chmod 755 "$test_board_home"
  board_start "$test_board_home/board" "$linux/board/tamq-board" "$root/data" || return 1
  tls_make_certificates "$test_board_home/other" || return 1
  tls_start_proxy "$test_board_home/tls" "$board_url" || return 1
  export TAMQ_TEST_BOARD="$board_url"
  export TAMQ_TEST_BOARD_HTTPS="https://localhost:$tls_port"
  # Not through winepath: a Wine session started before the X server would keep the tests
  # from drawing.
  export TAMQ_TEST_BOARD_CA="Z:${test_board_home//\//\\}\\tls\\ca.pem"
  export TAMQ_TEST_OTHER_CA="Z:${test_board_home//\//\\}\\other\\ca.pem"
  echo "board at $board_url, through TLS at $TAMQ_TEST_BOARD_HTTPS"
}

stop_test_board() {
  tls_cleanup
  board_cleanup
  [ -z "$test_board_home" ] || rm -rf "$test_board_home"
}

tamq_install_packages "${packages[@]}"
build_libpng
build_googletest
build_openal
share_json_headers "$prefix"
build_game
pack_zip
if [ "$mode" = test ]; then
  shift || true
  trap stop_test_board EXIT
  run_tests "$@"
fi
