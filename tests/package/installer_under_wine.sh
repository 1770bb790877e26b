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
    cmp -s "$stage/$file" "$folder/$file" || e2e_fail "not installed as staged: $file"
done < <(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
[ ${#installed[@]} -gt 10 ] || e2e_fail "only ${#installed[@]} files staged"
[ -f "$folder/uninstall.exe" ] || e2e_fail "no uninstaller"
[ -f "$shortcut" ] || e2e_fail "no Start-menu shortcut"
registered || e2e_fail "no entry in Add/Remove Programs"
grep -A12 -F "$uninstall_key" "$WINEPREFIX/system.reg" | grep -q '"UninstallString"' ||
    e2e_fail "the Add/Remove Programs entry has no UninstallString"

tamq_step "the installed game, started from another folder, reaches its first frame"
if start_until_first_frame "$scratch/game.log" "$scratch/elsewhere" wine "C:\\Program Files\\$name\\tamq.exe"; then
    cat "$scratch/game.log"
else
    e2e_fail "the installed game: $first_frame_error"
fi
wineserver -k 2>/dev/null
wait "$first_frame_pid" 2>/dev/null

tamq_step "silent uninstall"
# The uninstaller copies itself away and runs from there; wineserver -w waits for it.
wine "$folder/uninstall.exe" /S >/dev/null 2>&1
wineserver -w
for file in "${installed[@]}" uninstall.exe; do
    [ ! -e "$folder/$file" ] || e2e_fail "left behind: $file"
done
[ ! -e "$folder" ] || e2e_fail "the game's folder is left behind: $(find "$folder" | head -n 5)"
[ ! -e "$shortcut" ] || e2e_fail "the Start-menu shortcut is left behind"
! registered || e2e_fail "the Add/Remove Programs entry is left behind"

echo "${#installed[@]} files installed and removed in $((SECONDS - start)) s"
e2e_summary "installer under Wine"
