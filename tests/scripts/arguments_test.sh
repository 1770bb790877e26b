#!/usr/bin/env bash
# Every script refuses an argument it does not know before it installs or builds anything:
# its usage on standard error and exit 2, so that a typo in CI never passes for the default.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
failures=0
# A script that took a typo for "build" would start building here and run out of time.
while IFS='|' read -r script arguments; do
  # shellcheck disable=SC2086 # the arguments are words
  err="$(cd "$root" && timeout 60 "$script" $arguments 2>&1 >/dev/null)"
  status=$?
  if [ "$status" != 2 ] || ! grep -q "^usage: .*${script##*/}" <<<"$err"; then
    echo "FAIL: $script $arguments: exit $status, $err"
    failures=$((failures + 1))
  fi
done <<'END'
scripts/package-deb.sh|chekc
scripts/package-deb.sh|check twice
scripts/package-windows.sh|chek
scripts/windows.sh|tset
scripts/windows.sh|build extra
scripts/web.sh|tset
scripts/web.sh|test extra
bench/bench.sh|--fast
scripts/screenshots.sh|out
bench/cpu_use.sh|build/no-such-game
bench/gameover-frame.sh|build/no-such-game
bench/board-game-figures.sh|three
bench/board-game-figures.sh|3 extra
tests/soak.sh|ten
tests/soak.sh|10 7 extra
tests/fuzz.sh|ten
END
echo "script arguments: $failures failed"
[ "$failures" = 0 ]
