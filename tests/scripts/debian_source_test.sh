#!/usr/bin/env bash
# The private source list made from a machine's apt configuration: Debian entries in both
# formats become source entries with their keys, everything else is left out.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/debian-source.sh"
etc="$(mktemp -d)"
trap 'rm -rf "$etc"' EXIT
mkdir -p "$etc/sources.list.d"
cat >"$etc/sources.list.d/debian.sources" <<'END'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: https://deb.nodesource.com/node_20.x
Suites: nodistro
Components: main

Types: deb deb-src
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Components: main
Enabled: no
END
cat >"$etc/sources.list" <<'END'
# deb http://commented.example/debian bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/d.gpg] http://ftp.example/debian bookworm main contrib
deb-src http://src.example/debian bookworm main
deb https://packages.cloud.google.com/apt cloud-sdk main
END
echo 'deb http://security.debian.org/debian-security bookworm-security main' \
  >"$etc/sources.list.d/security.list"

expected='Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://ftp.example/debian
Suites: bookworm
Components: main contrib
Signed-By: /usr/share/keyrings/d.gpg

Types: deb-src
URIs: http://security.debian.org/debian-security
Suites: bookworm-security
Components: main'
actual="$(tamq_apt_source_entries "$etc")"
if [ "$actual" != "$expected" ]; then
  echo "source entries differ:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "source entries: ok"
