#!/usr/bin/env bash
# The desktop entry and the AppStream metadata pass their validators (offline), and the
# release they describe is the project's version, as is the Debian changelog's.
#
# Usage: metadata.sh DESKTOP_FILE METAINFO_FILE DEBIAN_CHANGELOG VERSION
# Exit codes: 0 passed, 1 failed, 77 skipped (no desktop-file-validate or appstreamcli).
set -euo pipefail
desktop="$1"
metainfo="$2"
changelog="$3"
version="$4"

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $(basename "$desktop")"
appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects $(basename "$metainfo")"

grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "the desktop entry is not in Game;ArcadeGame"
release="$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)"
[ "$release" = "$version" ] || fail "the newest AppStream release is '$release', the project is $version"
entry="$(head -n1 "$changelog" | sed -n 's/^[^ ]* (\([^)]*\)).*/\1/p')"
[ "$entry" = "$version" ] || fail "the newest changelog entry is '$entry', the project is $version"

[ "$failures" -eq 0 ] && echo "metadata: passed"
[ "$failures" -eq 0 ]
