#!/usr/bin/env bash
# Checks the Windows installer the way a player uses it, under Wine in a fresh prefix:
#   - a silent install (/S) puts every staged file under Program Files, byte for byte,
#     with a Start-menu shortcut and an uninstaller registered in Add/Remove Programs;
#   - the installed game, started from another folder, reaches its first frame;
#   - the silent uninstall removes every file it installed, the shortcut and the entry.
#
# Usage: installer_under_wine.sh SETUP_EXE STAGE_DIR SCRATCH_DIR
# STAGE_DIR holds the files the installer was made from. Exit codes: 0 passed, 1 failed.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/first_frame.sh"
source "$here/../../scripts/lib/x11.sh"

setup="$(realpath "$1")"
stage="$(realpath "$2")"
mkdir -p "$3"
scratch="$(realpath "$3")"
name="TAMQ 4 Pelrok"

cleanup() {
    wineserver -k 2>/dev/null
    x11_cleanup
}
trap cleanup EXIT

rm -rf "$scratch"
mkdir -p "$scratch/elsewhere"
export WINEPREFIX="$scratch/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
folder="$WINEPREFIX/drive_c/Program Files/$name"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$name.lnk"
uninstall_key="[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\$name]"

registered() {
    wineserver -w
    grep -qF "$uninstall_key" "$WINEPREFIX/system.reg"
}
not_registered() { ! registered; }
has_uninstall_string() { grep -A12 -F "$uninstall_key" "$WINEPREFIX/system.reg" | grep -q '"UninstallString"'; }
absent() { [ ! -e "$1" ]; }

x11_start_server 1600x900x24 || { echo "FAIL: Xvfb did not start" >&2; exit 1; }

tamq_step "a fresh Wine prefix"
start=$SECONDS
wineboot -i >/dev/null 2>&1
wineserver -w

tamq_step "silent install"
wine "$setup" /S >/dev/null 2>&1
wineserver -w
installed=()
while IFS= read -r file; do
    installed+=("$file")
    e2e_check "not installed as staged: $file" cmp -s "$stage/$file" "$folder/$file"
done < <(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
e2e_check "only ${#installed[@]} files staged" test ${#installed[@]} -gt 10
e2e_check "no uninstaller" test -f "$folder/uninstall.exe"
e2e_check "no Start-menu shortcut" test -f "$shortcut"
e2e_check "no entry in Add/Remove Programs" registered
e2e_check "the Add/Remove Programs entry has no UninstallString" has_uninstall_string

tamq_step "the installed game, started from another folder, reaches its first frame"
e2e_check "the installed game did not reach its first frame" \
    start_until_first_frame "$scratch/game.log" "$scratch/elsewhere" wine "C:\\Program Files\\$name\\tamq.exe"
cat "$scratch/game.log"
wineserver -k 2>/dev/null
wait "$first_frame_pid" 2>/dev/null

tamq_step "silent uninstall"
# The uninstaller copies itself away and runs from there; wineserver -w waits for it.
wine "$folder/uninstall.exe" /S >/dev/null 2>&1
wineserver -w
for file in "${installed[@]}" uninstall.exe; do
    e2e_check "left behind: $file" absent "$folder/$file"
done
e2e_check "the game's folder is left behind" absent "$folder"
e2e_check "the Start-menu shortcut is left behind" absent "$shortcut"
e2e_check "the Add/Remove Programs entry is left behind" not_registered

echo "${#installed[@]} files installed and removed in $((SECONDS - start)) s"
e2e_summary "installer under Wine"
