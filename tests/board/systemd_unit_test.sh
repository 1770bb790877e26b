#!/usr/bin/env bash
# The board's systemd unit passes systemd-analyze verify, with its program and settings
# file where the unit expects them (in a scratch root, so nothing of this machine's is touched).
set -euo pipefail
analyze="$1" unit="$2" program="$3"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/usr/bin" "$root/etc/tamq-board" "$root/etc/systemd/system"
cp "$program" "$root/usr/bin/tamq-board"
touch "$root/etc/tamq-board/env"
cp "$unit" "$root/etc/systemd/system/"
output="$("$analyze" verify --root="$root" --man=no "$root/etc/systemd/system/tamq-board.service" 2>&1)" ||
  { echo "$output"; exit 1; }
# Warnings count as failures too; the machine's own units may be named, ours must not be.
if echo "$output" | grep -i "tamq-board"; then
  exit 1
fi
echo "systemd-analyze verify: the unit is clean"
