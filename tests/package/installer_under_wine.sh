#!/usr/bin/env bash
# Checks the Windows installer the way a player uses it, under Wine in a fresh prefix:
#   - a silent install (/S) puts every staged file under Program Files, byte for byte,
#     with a Start-menu shortcut and an uninstaller registered in Add/Remove Programs;
#   - the installed game, started from another folder, reaches its first frame;
#   - it plays through the OpenAL32.dll installed beside it: that library opens the
#     machine's device or the game says in one line why not; given a device (ALSA's null
#     output behind Wine's sound) or OpenAL Soft's wave-file writer, it plays without a
#     word, into the file for the writer; without the library it says so in one line and
#     plays on, silent;
#   - the silent uninstall removes every file it installed, the shortcut and the entry.
#
# Usage: installer_under_wine.sh SETUP_EXE STAGE_DIR SCRATCH_DIR
# STAGE_DIR holds the files the installer was made from. Exit codes: 0 passed, 1 failed.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/first_frame.sh"
source "$here/../../tests/lib/x11.sh"

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
not() { ! "$@"; }
# What the game said about its sound in LOG, without the carriage returns of Windows' text output.
audio_said() { tr -d '\r' <"$1" | grep '^audio: '; }
audio_lines() { audio_said "$1" | wc -l; }
# A new prefix maps the whole Linux file system to drive Z:.
windows_path() { echo "Z:${1//\//\\}"; }
larger_than() { [ -f "$1" ] && [ "$(stat -c %s "$1")" -gt "$2" ]; }

# play_once NAME COMMAND...: the installed game started from another folder (COMMAND may
# put variables before it) until its first frame, then ended; its output in NAME.log.
play_once() {
    local log="$scratch/$1.log"
    shift
    e2e_check "the installed game did not reach its first frame ($log)" \
        start_until_first_frame "$log" "$scratch/elsewhere" env "$@" wine "C:\\Program Files\\$name\\tamq.exe"
}
stop_game() {
    wineserver -k 2>/dev/null
    wait "$first_frame_pid" 2>/dev/null
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
    e2e_check "not installed as staged: $file" cmp -s "$stage/$file" "$folder/$file"
done < <(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
e2e_check "only ${#installed[@]} files staged" test ${#installed[@]} -gt 10
e2e_check "no uninstaller" test -f "$folder/uninstall.exe"
e2e_check "no Start-menu shortcut" test -f "$shortcut"
e2e_check "no entry in Add/Remove Programs" registered
e2e_check "the Add/Remove Programs entry has no UninstallString" has_uninstall_string

tamq_step "the installed game, started from another folder, reaches its first frame"
play_once game
cat "$scratch/game.log"
stop_game
# Wine's own sound, whatever this machine has: the shipped library was found and either
# opened a device or the one line says why not.
e2e_check "more than one line about the sound" test "$(audio_lines "$scratch/game.log")" -le 1
e2e_check "the installed OpenAL32.dll was not loaded" not grep -q "OpenAL32.dll" "$scratch/game.log"
echo "sound under this Wine: $(audio_said "$scratch/game.log" || echo "a device opened")"

tamq_step "the installed game opens a sound device when Wine has one"
# ALSA's null output as the default device, which Wine's sound driver offers to Windows.
mkdir -p "$scratch/home"
printf 'pcm.!default {\n  type null\n}\n' >"$scratch/home/.asoundrc"
play_once device HOME="$scratch/home"
stop_game
e2e_check "the game did not open Wine's sound device: $(audio_said "$scratch/device.log")" \
    test "$(audio_lines "$scratch/device.log")" = 0

tamq_step "the installed game plays into OpenAL Soft's wave-file writer"
printf '[general]\ndrivers = wave\nchannels = mono\nsample-type = int16\nfrequency = 44100\n[wave]\nfile = %s\n' \
    "$(windows_path "$scratch/heard.wav")" >"$scratch/alsoft.conf"
play_once wave ALSOFT_CONF="$(windows_path "$scratch/alsoft.conf")"
# The writer mixes in real time, 88 200 bytes a second: half a second of it.
e2e_check "nothing was written into the wave file" tamq_poll 30 larger_than "$scratch/heard.wav" 44100
stop_game
e2e_check "the game spoke of its sound with the wave writer: $(audio_said "$scratch/wave.log")" \
    test "$(audio_lines "$scratch/wave.log")" = 0

tamq_step "without its OpenAL32.dll the installed game says so and plays on"
rm "$folder/OpenAL32.dll"
play_once without
stop_game
e2e_check "not one line saying OpenAL32.dll is missing: $(audio_said "$scratch/without.log")" \
    test "$(audio_said "$scratch/without.log")" = "audio: OpenAL32.dll not found; the game plays without sound"

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
