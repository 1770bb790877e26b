#!/usr/bin/env bash
# The Windows installer of the game, made on Linux with NSIS.
#
#   scripts/package-windows.sh          builds the game for Windows (scripts/windows.sh,
#                                       which also packs the zip) and the installer
#                                       build-windows/tamq4pelrok-<version>-setup.exe
#   scripts/package-windows.sh check    the same, then installs, plays and uninstalls it
#                                       under Wine (tests/package/installer_under_wine.sh)
set -euo pipefail
source "$(dirname "$0")/env.sh"
[ $# -le 1 ] && tamq_one_of "${1:-build}" build check || tamq_usage "usage: scripts/package-windows.sh [check]"
tamq_arguments_checked
mode="${1:-build}"
build="$(tamq_build_dir windows)"

packages=(nsis)
if [ "$mode" = check ]; then
  packages+=(wine xvfb)
fi
tamq_install_packages "${packages[@]}"

"$TAMQ_ROOT/scripts/windows.sh"

installer_dir="$build/installer"
stage="$installer_dir/stage"
lists="$installer_dir/lists"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
setup="$build/tamq4pelrok-$version-setup.exe"

tamq_step "staging the installed files"
rm -rf "$installer_dir"
mkdir -p "$lists"
cmake --install "$build" --prefix "$stage" >/dev/null

# One NSIS line per file and folder, so the uninstaller removes exactly what was installed.
(
  cd "$stage"
  find . -type f | sed 's|^\./||' | sort | while IFS= read -r file; do
    folder="$(dirname "$file")"
    [ "$folder" = . ] && folder="" || folder="\\${folder//\//\\}"
    echo "SetOutPath \"\$INSTDIR$folder\""
    echo "File \"$stage/$file\""
  done >"$lists/install.nsh"
  {
    find . -type f | sed 's|^\./||' | sort | while IFS= read -r file; do
      echo "Delete \"\$INSTDIR\\${file//\//\\}\""
    done
    # Deepest folders first.
    find . -mindepth 1 -type d | sed 's|^\./||' | awk -F/ '{ print NF "\t" $0 }' | sort -rn | cut -f2- |
      while IFS= read -r folder; do
        echo "RMDir \"\$INSTDIR\\${folder//\//\\}\""
      done
  } >"$lists/uninstall.nsh"
)

tamq_step "making the installer"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DLISTS="$lists" \
  -DSIZE_KB="$(du -sk "$stage" | cut -f1)" -DOUTFILE="$setup" "$TAMQ_ROOT/packaging/windows/tamq4pelrok.nsi"
tamq_step "made $setup"

if [ "$mode" = check ]; then
  "$TAMQ_ROOT/tests/package/installer_under_wine.sh" "$setup" "$stage" "$installer_dir/check"
fi
