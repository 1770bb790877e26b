#!/usr/bin/env bash
# The browser build: WebAssembly and WebGL 2, compiled with Debian's emscripten.
#
#   scripts/web.sh          builds build-web/: index.html, touch.js, tamq.js, tamq.wasm and tamq.data,
#                           ready for any static web host
#   scripts/web.sh serve    the same, then serves it at http://127.0.0.1:8080/ (PORT=... to change)
#   scripts/web.sh test     the same, then runs the unit tests under node and the game in
#                           headless Chromium: with keys, on a touch device, with a controller;
#                           the page's HTTP client against a local board, a ranked run
#                           named and sent to it over HTTP and HTTPS, and runs of that
#                           board watched from their links (?watch=RUNID)
#   scripts/web.sh bench    the same, then prints the download size, the time to the first
#                           frame and the frame rate beside the desktop build's
#
# TAMQ_BOARD_URL=https://... builds the site with that online board (the page's address
# then cannot name another); without it the address alone names one (?board=URL).
#
# zlib, libpng and SDL2 come from Debian's own source packages, built with emcc once and
# kept outside the clone (TAMQ_WEB_CACHE, default ~/.cache/tamq4pelrok/web), under a name
# made of emscripten's version and the packages' versions, so fresh clones reuse them.
set -euo pipefail
source "$(dirname "$0")/env.sh"
root="$TAMQ_ROOT"
build="$root/build-web"
# The "wasm" preset's tree: objects, the unit tests and the test screenshots.
wasm="$(tamq_build_dir wasm)"
cache="${TAMQ_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tamq4pelrok/web}"
jobs="$TAMQ_JOBS"
[ $# -le 1 ] && tamq_one_of "${1:-build}" build serve test bench || tamq_usage "usage: scripts/web.sh [build|serve|test|bench]"
tamq_arguments_checked
mode="${1:-build}"

source "$root/scripts/lib/debian-source.sh"
source "$root/scripts/lib/prefix.sh"
packages=(cmake emscripten nlohmann-json3-dev libgtest-dev python3 ccache)
if [ "$mode" = test ] || [ "$mode" = bench ]; then
  # The tests and the benchmark also build the desktop game, to compare with it.
  packages+=("${TAMQ_PACKAGES[@]}" chromium python3-websocket)
fi

# Debian's emscripten finds its JavaScript helpers (acorn and others) only through this.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"
# emcc puts the compiler cache before its clang: the game's objects and the libraries'
# are kept with the native builds' between runs and clones.
export EM_COMPILER_WRAPPER=ccache

# Fetches the three source packages and names the folder their build goes into, after
# every version that goes into it (GoogleTest's comes from libgtest-dev's sources).
choose_prefix() {
  local sources="$cache/sources" emscripten key
  emscripten="$(dpkg-query -W -f='${Version}' emscripten)"
  key="-googletest-$(dpkg-query -W -f='${Version}' libgtest-dev)"
  local package version
  for package in zlib libpng1.6 libsdl2; do
    version="$(debian_source_fetch "$package" "$sources")"
    key="$key-$package-$version"
  done
  prefix="$cache/prefix-emscripten-$emscripten$key"
  prefix="${prefix//[:~+]/_}"
}

# One CMake project configured with emcmake and installed into the prefix; SOURCE is a
# folder, or a Debian source package's name, unpacked from its original tarball.
build_library() {
  local name="$1" source="$2" stamp="$3"
  shift 3
  [ -f "$prefix/$stamp" ] && return
  tamq_step "building $name for the browser"
  local work="$cache/work/$name"
  rm -rf "$work"
  if [ ! -d "$source" ]; then
    debian_source_unpack "$source" "$cache/sources" "$work/src"
    source="$work/src"
  fi
  mkdir -p "$work"
  emcmake cmake -S "$source" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" "$@" >"$work/configure.log" 2>&1 ||
    { tail -n 30 "$work/configure.log" >&2; return 1; }
  cmake --build "$work/build" -j "$jobs" --target install >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log" >&2; return 1; }
  rm -rf "$work"
}

# zlib's CMake project wants Windows resource files that Debian's tarball leaves out; its
# own configure script is what Debian builds with.
build_zlib() {
  [ -f "$prefix/lib/libz.a" ] && return
  tamq_step "building zlib for the browser"
  local work="$cache/work/zlib"
  debian_source_unpack zlib "$cache/sources" "$work"
  (cd "$work" && emconfigure ./configure --static --prefix="$prefix" >configure.log 2>&1 &&
    emmake make -j "$jobs" install >build.log 2>&1) ||
    { tail -n 30 "$work/configure.log" "$work/build.log" >&2; return 1; }
  rm -rf "$work"
}

build_third_party() {
  mkdir -p "$cache"
  # Two builds on one machine share the cache: one builds a library while the other waits.
  exec 8>"$cache/lock"
  flock 8
  choose_prefix
  build_zlib
  build_library libpng libpng1.6 lib/libpng16.a -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF -DZLIB_ROOT="$prefix"
  build_library SDL2 libsdl2 lib/libSDL2.a -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
  build_library GoogleTest /usr/src/googletest lib/libgtest.a -DCMAKE_CXX_FLAGS=-fexceptions \
    -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=ON
  flock -u 8
}

build_game() {
  share_json_headers "$prefix"
  tamq_step "building the game for the browser"
  # Library paths found under another prefix (an older emscripten or SDL2) must be found again.
  if [ -f "$wasm/CMakeCache.txt" ] && ! grep -qF "CMAKE_FIND_ROOT_PATH:UNINITIALIZED=$prefix" "$wasm/CMakeCache.txt"; then
    rm -f "$wasm/CMakeCache.txt"
  fi
  tamq_configure wasm -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$(command -v node)" -DTAMQ_WERROR="$TAMQ_WERROR" \
    -DTAMQ_BOARD_URL="${TAMQ_BOARD_URL:-}" \
    -DTAMQ_BUILD_TESTS="$([ "$mode" = test ] && echo ON || echo OFF)"
  tamq_build wasm
  # The site: the page, its touch controls and the three files the game is made of, nothing else.
  rm -rf "$build"
  mkdir -p "$build"
  cp "$root/app/web/index.html" "$root/app/web/touch.js" "$wasm/app/tamq.js" "$wasm/app/tamq.wasm" "$wasm/app/tamq.data" "$build/"
  tamq_step "built $build"
}

# The desktop game and the library preloaded into it (tests/web/DesktopFrames.cpp), which
# the tests and the benchmark compare the browser build with; and the board service the
# tests run the page against.
build_desktop() {
  desktop="$(tamq_build_dir default)"
  tamq_step "the desktop game, to compare with"
  [ -f "$desktop/CMakeCache.txt" ] || tamq_configure default -DTAMQ_WERROR="$TAMQ_WERROR"
  tamq_build default tamq tamq_desktop_frames tamq-board >/dev/null
}

tamq_install_packages "${packages[@]}"
build_third_party
build_game
case "$mode" in
  build) ;;
  serve)
    tamq_step "serving $build at http://127.0.0.1:${PORT:-8080}/ (Ctrl+C stops)"
    exec /usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$build" "${PORT:-8080}"
    ;;
  test)
    tamq_step "unit tests under node"
    tamq_ctest wasm
    build_desktop
    tamq_step "the game in headless Chromium"
    /usr/bin/python3 "$root/tests/web/browser_test.py" "$build" "$wasm/browser-shots" \
      "$desktop/app/tamq" "$desktop/tests/libtamq_desktop_frames.so" "$root"
    tamq_step "the game on a touch device and with a controller, in headless Chromium"
    /usr/bin/python3 "$root/tests/web/touch_test.py" "$build" "$wasm/browser-shots"
    tamq_step "the page's HTTP client against a local board, in headless Chromium"
    /usr/bin/python3 "$root/tests/web/http_test.py" "$wasm/tests" "$desktop/board/tamq-board" "$root"
    tamq_step "the game on a board of its own, over HTTP and HTTPS, in headless Chromium"
    /usr/bin/python3 "$root/tests/web/board_test.py" "$build" "$wasm/browser-shots/board" \
      "$desktop/board/tamq-board" "$desktop/app/tamq" "$root"
    tamq_step "board runs watched from links, in headless Chromium"
    /usr/bin/python3 "$root/tests/web/watch_test.py" "$build" "$wasm/browser-shots/watch" \
      "$desktop/board/tamq-board" "$root"
    ;;
  bench)
    build_desktop
    tamq_step "the browser build's figures, beside the desktop build's"
    /usr/bin/python3 "$root/bench/browser_bench.py" "$build" "$desktop/app/tamq" \
      "$desktop/tests/libtamq_desktop_frames.so" "$root"
    ;;
  *)
    echo "usage: scripts/web.sh [build|serve|test|bench]" >&2
    exit 2
    ;;
esac
