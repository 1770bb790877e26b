#!/usr/bin/env bash
# `cmake --install` into a scratch prefix, then checks the tree the way a player uses it:
# every file in its place, `tamq --version`, and the installed game started from / with
# SDL's offscreen driver reaches its first frame and exits 0 on SIGTERM. Moved elsewhere,
# or started from a folder holding no data/, it still finds its content; with the
# content gone it names the places it looked and exits 1.
#
# Usage: install_tree.sh BUILD_DIR SCRATCH_DIR APP_ID VERSION
set -euo pipefail
source "$(dirname "$0")/first_frame.sh"
source "$(dirname "$0")/../../scripts/lib/x11.sh"
build="$1"
scratch="$2"
app_id="$3"
version="$4"
prefix="$scratch/prefix"

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log"

for file in bin/tamq share/tamq4pelrok/data/cars.json share/tamq4pelrok/data/shaders/basic-fixed.vert \
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
    share/doc/tamq4pelrok/copyright share/doc/tamq4pelrok/changelog.gz share/man/man6/tamq.6.gz \
    "share/icons/hicolor/48x48/apps/$app_id.png" "share/icons/hicolor/128x128/apps/$app_id.png" \
    "share/icons/hicolor/256x256/apps/$app_id.png"; do
    [ -f "$prefix/$file" ] || e2e_fail "not installed: $file"
done
[ ! -e "$prefix/share/tamq4pelrok/data/icons" ] || e2e_fail "the icons are installed with the content"
grep -q "Bitstream" "$prefix/share/doc/tamq4pelrok/copyright" || e2e_fail "the copyright file lacks the font's licence"
grep -q "zlib\|Zlib" "$prefix/share/doc/tamq4pelrok/copyright" || e2e_fail "the copyright file lacks the game's licence"

answer="$("$prefix/bin/tamq" --version)"
[ "$answer" = "TAMQ 4 Pelrok $version" ] || e2e_fail "tamq --version says '$answer'"

first_frame_then_sigterm "$scratch/game.log" / "$prefix/bin/tamq" || e2e_fail "installed game from /: $first_frame_error"

# The whole prefix moved: the content is found relative to the executable, not the prefix.
mv "$prefix" "$scratch/moved"
mkdir -p "$scratch/empty"
first_frame_then_sigterm "$scratch/moved.log" "$scratch/empty" "$scratch/moved/bin/tamq" ||
    e2e_fail "moved install from an empty folder: $first_frame_error"

rm -rf "$scratch/moved/share/tamq4pelrok"
status=0
(cd "$scratch/empty" && exec "$scratch/moved/bin/tamq") >/dev/null 2>"$scratch/missing.log" || status=$?
[ "$status" -eq 1 ] || e2e_fail "without its content the game exited $status, expected 1"
grep -qF "$scratch/empty/data" "$scratch/missing.log" && grep -qF "$scratch/moved/share/tamq4pelrok/data" "$scratch/missing.log" ||
    e2e_fail "the missing-content line does not name both places: $(cat "$scratch/missing.log")"

e2e_summary "install tree"
