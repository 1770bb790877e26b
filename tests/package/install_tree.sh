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
source "$(dirname "$0")/../../tests/lib/x11.sh"
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
    e2e_check "not installed: $file" test -f "$prefix/$file"
done
e2e_check "the icons are installed with the content" test ! -e "$prefix/share/tamq4pelrok/data/icons"
e2e_check "the copyright file lacks the font's licence" grep -q "Bitstream" "$prefix/share/doc/tamq4pelrok/copyright"
e2e_check "the copyright file lacks the game's licence" grep -q "Permission is granted to anyone to use this software" "$prefix/share/doc/tamq4pelrok/copyright"

answer="$("$prefix/bin/tamq" --version)"
e2e_check "tamq --version says '$answer'" test "$answer" = "TAMQ 4 Pelrok $version"

first_frame_then_sigterm "$scratch/game.log" / "$prefix/bin/tamq" || e2e_fail "installed game from /: $first_frame_error"

# The whole prefix moved: the content is found relative to the executable, not the prefix.
mv "$prefix" "$scratch/moved"
mkdir -p "$scratch/empty"
first_frame_then_sigterm "$scratch/moved.log" "$scratch/empty" "$scratch/moved/bin/tamq" ||
    e2e_fail "moved install from an empty folder: $first_frame_error"

rm -rf "$scratch/moved/share/tamq4pelrok"
status=0
(cd "$scratch/empty" && exec "$scratch/moved/bin/tamq") >/dev/null 2>"$scratch/missing.log" || status=$?
e2e_check "without its content the game exited $status, expected 1" test "$status" -eq 1
for place in "$scratch/empty/data" "$scratch/moved/share/tamq4pelrok/data"; do
    e2e_check "the missing-content line does not name $place: $(cat "$scratch/missing.log")" \
        grep -qF "$place" "$scratch/missing.log"
done

e2e_summary "install tree"
