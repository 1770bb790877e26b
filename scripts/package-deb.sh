#!/usr/bin/env bash
# The Debian package of the game.
#
#   scripts/package-deb.sh          builds build-deb/tamq4pelrok_<version>_<arch>.deb
#   scripts/package-deb.sh check    the same, then lintian, then installs it in a clean
#                                   Debian 12 root and plays it (tests/package/deb_clean_root.sh;
#                                   needs root, and the network the first time)
#
# The "deb" preset's tree: a Release build of the game alone with Debian's hardening flags,
# installed under /usr (the executable in /usr/games, as Debian wants for games) and packed
# by CPack with the dependencies dpkg-shlibdeps finds.
set -euo pipefail
source "$(dirname "$0")/env.sh"
[ $# -le 1 ] && tamq_one_of "${1:-build}" build check || tamq_usage "usage: scripts/package-deb.sh [check]"
tamq_arguments_checked
mode="${1:-build}"
build="$(tamq_build_dir deb)"

packages=("${TAMQ_PLAY_PACKAGES[@]}" dpkg-dev file)
if [ "$mode" = check ]; then
  packages+=(lintian debootstrap)
fi
tamq_install_packages "${packages[@]}"

build_package() {
  tamq_step "building the game for the Debian package"
  # All of Debian's hardening, as its own packages get; read when the tree is first made.
  local flags=(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get)
  CFLAGS="$(env "${flags[@]}" CFLAGS) $(env "${flags[@]}" CPPFLAGS)" \
  CXXFLAGS="$(env "${flags[@]}" CXXFLAGS) $(env "${flags[@]}" CPPFLAGS)" \
  LDFLAGS="$(env "${flags[@]}" LDFLAGS)" \
    tamq_configure deb -DTAMQ_WERROR="$TAMQ_WERROR"
  tamq_build deb tamq
  tamq_step "packing"
  rm -f "$build"/*.deb
  (cd "$build" && cpack -G DEB >/dev/null)
  local made=("$build"/*.deb)
  [ ${#made[@]} = 1 ] && [ -f "${made[0]}" ] || { echo "CPack made no single .deb in $build" >&2; exit 1; }
  deb="${made[0]}"
  tamq_step "made $deb"
  dpkg-deb --field "$deb" Package Version Architecture Depends
}

check_package() {
  tamq_step "lintian"
  local report="$build/lintian.txt"
  lintian --info --display-info "$deb" >"$report" 2>&1 || true
  grep -v '^N:' "$report" || true
  if grep -q '^E: ' "$report"; then
    echo "lintian found errors (the whole report: $report)" >&2
    exit 1
  fi
  "$TAMQ_ROOT/tests/package/deb_clean_root.sh" "$deb"
}

build_package
if [ "$mode" = check ]; then
  check_package
fi
