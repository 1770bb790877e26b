#!/usr/bin/env bash
# The board's systemd unit passes systemd-analyze verify without a word. The copy checked
# runs the program just built and reads a scratch settings file, since neither is
# installed on the machine that tests.
set -euo pipefail
analyze="$1" unit="$2" program="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/env"
sed -e "s|^ExecStart=/usr/bin/tamq-board|ExecStart=$program|" \
  -e "s|^EnvironmentFile=/etc/tamq-board/env|EnvironmentFile=$scratch/env|" "$unit" >"$scratch/tamq-board.service"
grep -q "^ExecStart=$program" "$scratch/tamq-board.service"
output="$("$analyze" verify --man=no "$scratch/tamq-board.service" 2>&1)" || { echo "$output"; exit 1; }
if [ -n "$output" ]; then
  echo "$output"
  exit 1
fi
echo "systemd-analyze verify: the unit is clean"
