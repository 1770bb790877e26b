#!/usr/bin/env bash
# What the README and the pages it hands over to name is there and does what it says: every
# script with the mode it shows (run up to its argument check), every option of the game (run
# for real), every preset and every test folder.
# Usage: readme_test.sh GAME_BINARY
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/common.sh"
game="$1"
readme="$(mktemp)"
trap 'rm -f "$readme"' EXIT
cat "$root/README.md" "$root"/docs/{playing,online,browser,windows,testing}.md >"$readme"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Scripts, with the word after them when it is a mode ("scripts/web.sh serve").
while read -r script mode; do
  [ -e "$root/$script" ] || { fail "no $script"; continue; }
  case "$script" in
    # Sourced by the others, never run.
    scripts/env.sh)
      [ -f "$root/$script" ] || fail "no $script"
      continue
      ;;
    # run.sh hands its arguments to the game (below), test.sh to ctest.
    ./run.sh | ./test.sh)
      [ -x "$root/$script" ] || fail "$script is not executable"
      continue
      ;;
  esac
  [ -x "$root/$script" ] || { fail "$script is not executable"; continue; }
  echo "$script $mode"
  # shellcheck disable=SC2086 # no mode is no argument
  (cd "$root" && TAMQ_ARGUMENTS_ONLY=1 "$script" $mode) || fail "$script $mode: refused"
done < <(grep -oE '(\./|scripts/|bench/|tools/)[a-z_-]+\.sh( [a-z]+)?' "$readme" | sort -u)

# The game's options: --help and --version answer; the others start the game, which
# shows its first frame and ends with 0 when asked to.
first_frame_shown() { grep -q "first frame shown" "$1"; }
# The options that take a record are given one of the golden runs.
golden="$(find "$root/tests/data/golden" -name '*.rec' | sort | head -n 1)"
# Options of several words ("--frame-stats") are whole options, not their first word.
for option in $(grep -oE -- '(tamq|run\.sh)( [a-z]+)* --[a-z]+(-[a-z]+)*|`--[a-z]+(-[a-z]+)*' "$readme" |
  grep -oE -- '--[a-z]+(-[a-z]+)*' | sort -u); do
  case "$option" in
    --help | --version)
      (cd "$root" && "$game" "$option" >/dev/null) || fail "tamq $option"
      continue
      ;;
    --verify)
      # A kept golden run verifies, with one line of JSON and exit 0.
      verdict="$(cd "$root" && "$game" --verify "$golden")" || verdict="exit code $?: $verdict"
      [[ "$verdict" == *'"valid":true'* ]] || fail "tamq --verify $golden: $verdict"
      continue
      ;;
    --data) arguments=(--data "$root") ;;
    --replay) arguments=(--replay "$golden") ;;
    # A board nobody serves: the game says so once and plays offline.
    --board) arguments=(--board http://127.0.0.1:1) ;;
    --board-ca) arguments=(--board https://127.0.0.1:1 --board-ca /dev/null) ;;
    # A run of that board: it cannot be fetched, which is said, and the title screen shows.
    --watch) arguments=(--board http://127.0.0.1:1 --watch 42) ;;
    *) arguments=("$option") ;;
  esac
  echo "tamq ${arguments[*]}"
  log="$(mktemp)"
  (cd "$root" && exec env SDL_VIDEODRIVER=offscreen XDG_DATA_HOME="$log.saves" "$game" "${arguments[@]}") >"$log" 2>&1 &
  pid=$!
  if tamq_poll 120 first_frame_shown "$log"; then
    kill -TERM "$pid"
    wait "$pid" || fail "tamq ${arguments[*]}: exit code $? after SIGTERM"
  else
    fail "tamq ${arguments[*]}: no first frame: $(cat "$log")"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  rm -rf "$log" "$log.saves"
done

# The presets and the test folders.
for preset in $(tr '\n' ' ' <"$readme" | grep -oE '`[a-z]+` \(`build[a-z-]*/`' | grep -oE '^`[a-z]+`' | tr -d '`'); do
  grep -q "\"name\": \"$preset\"" "$root/CMakePresets.json" || fail "no preset $preset"
done
# And the other way round: every preset is named.
for preset in $(sed -n '/"configurePresets"/,/"buildPresets"/p' "$root/CMakePresets.json" |
  grep -oE '^ {6}"name": "[a-z]+"' | grep -oE '"[a-z]+"$' | tr -d '"'); do
  tr '\n' ' ' <"$readme" | grep -qE "\`$preset\` (\(\`build|preset)" ||
    fail "the README does not name the preset $preset"
done
folders="$(sed -n '/^Its folders under `tests\/`/,/^$/{s/^Its folders under `tests\/`//;p;}' "$readme" | grep -oE '`[a-z0-9]+/`' | tr -d '`')"
[ -n "$folders" ] || fail "no paragraph of the test folders"
for folder in $folders; do
  [ -d "$root/tests/$folder" ] || fail "no folder tests/$folder"
done

echo "README: $failures failed"
[ "$failures" = 0 ]
