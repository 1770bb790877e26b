#!/usr/bin/env bash
# The Debian package of the game.
#
#   scripts/package-deb.sh          builds build-deb/tamq4pelrok_<version>_<arch>.deb
#   scripts/package-deb.sh check    the same, then lintian, then installs it in a clean
#                                   Debian 12 root and plays it (tests/package/deb_clean_root.sh;
#                                   needs root, and the network the first time)
#
# A Release build of the game alone, with Debian's hardening flags, installed under /usr
# (the executable in /usr/games, as Debian wants for games) and packed by CPack with the
# dependencies dpkg-shlibdeps finds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMQ_DEB_BUILD:-$root/build-deb}"
mode="${1:-build}"

source "$root/scripts/deps.sh"
TAMQ_PACKAGES+=(dpkg-dev file)
if [ "$mode" = check ]; then
  TAMQ_PACKAGES+=(lintian debootstrap)
fi
tamq_install_deps

step() { echo "== $*"; }

build_package() {
  local werror=OFF
  [ "${CI:-}" = "true" ] && werror=ON
  step "building the game for the Debian package"
  # DEB_BUILD_MAINT_OPTIONS: all of Debian's hardening, as its own packages get.
  CFLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  CXXFLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  LDFLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_BINDIR=games \
      -DTAMQ_WERROR=$werror -DTAMQ_BUILD_TESTS=OFF -DTAMQ_BUILD_BENCH=OFF -DTAMQ_BUILD_TOOLS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)"
  step "packing"
  rm -f "$build"/*.deb
  (cd "$build" && cpack -G DEB >/dev/null)
  deb="$(ls "$build"/*.deb)"
  step "made $deb"
  dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
}

check_package() {
  step "lintian"
  local report="$build/lintian.txt" status=0
  lintian --info --display-info "$deb" >"$report" 2>&1 || status=$?
  cat "$report"
  if grep -q '^E: ' "$report"; then
    echo "lintian found errors" >&2
    exit 1
  fi
  [ "$status" -eq 0 ] || [ "$status" -eq 2 ] || { echo "lintian failed ($status)" >&2; exit 1; }
  "$root/tests/package/deb_clean_root.sh" "$deb"
}

build_package
if [ "$mode" = check ]; then
  check_package
fi
