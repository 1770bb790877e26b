#!/usr/bin/env bash
# The board's systemd template unit passes systemd-analyze verify without a word, as an
# instance (tamq-board@8081). The copy checked runs the program just built and reads scratch
# settings files, since neither is installed on the machine that tests.
set -euo pipefail
analyze="$1" unit="$2" program="$3"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/env"
sed -e "s|^ExecStart=/usr/bin/tamq-board|ExecStart=$program|" \
  -e "s|=\(-\?\)/etc/tamq-board/|=\1$scratch/|" "$unit" >"$scratch/tamq-board@.service"
grep -q "^ExecStart=$program" "$scratch/tamq-board@.service"
! grep -q "/etc/tamq-board" "$scratch/tamq-board@.service"
ln -s "tamq-board@.service" "$scratch/tamq-board@8081.service"
output="$("$analyze" verify --man=no "$scratch/tamq-board@8081.service" 2>&1)" || { echo "$output"; exit 1; }
if [ -n "$output" ]; then
  echo "$output"
  exit 1
fi
echo "systemd-analyze verify: the unit is clean"
