#!/usr/bin/env bash
# An original tarball taken from another Debian release: against a signed archive made
# here (a key of its own, a Sources index, InRelease), the tarball is kept only when the
# signature holds and its SHA-256 is the index's, a kept one is reused without the archive
# while it is intact, and each refusal is one line naming what is wrong.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
for tool in gpg apt-get /usr/lib/apt/apt-helper; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
scratch="$(mktemp -d)"
trap 'gpgconf --homedir "$scratch/gnupg" --kill all 2>/dev/null || true; rm -rf "$scratch"' EXIT
export TAMQ_APT_STATE="$scratch/state" TAMQ_APT_ETC="$scratch/etc"
# shellcheck source=scripts/lib/debian-source.sh
source "$root/scripts/lib/debian-source.sh"

# The archive: "debian" in its path, as the entries of a Debian mirror have. apt's copy
# method, so a fetched file is a copy rather than a link into the archive.
archive="$scratch/debian"
export GNUPGHOME="$scratch/gnupg"
mkdir -p -m 700 "$GNUPGHOME"
make_key() {
  gpg --batch --quiet --passphrase '' --quick-gen-key "$1" ed25519 sign never 2>/dev/null
  gpg --batch --quiet --export "$1" >"$scratch/$2.gpg"
}
make_key "Archive <archive@test.invalid>" archive
make_key "Stranger <stranger@test.invalid>" stranger

mkdir -p "$scratch/etc/sources.list.d"
use_key() {
  cat >"$scratch/etc/sources.list.d/debian.sources" <<END
Types: deb
URIs: copy:$archive
Suites: bookworm bookworm-updates
Components: main
Signed-By: $scratch/$1.gpg

Types: deb
URIs: copy:$scratch/debian-security
Suites: bookworm-security
Components: main
Signed-By: $scratch/$1.gpg
END
}

# publish CONTENT SIGNER: the pool holds a tarball with CONTENT, the index the SHA-256 of
# the tarball "good", and SIGNER's key signs the Release file.
publish() {
  local content="$1" signer="$2"
  local pool="$archive/pool/main/d/demo" dists="$archive/dists/trixie"
  rm -rf "$archive"
  mkdir -p "$pool" "$dists/main/source" "$scratch/tar/demo-1.2"
  echo good >"$scratch/tar/demo-1.2/README"
  tar -C "$scratch/tar" --mtime=@0 --owner=0 --group=0 -czf "$scratch/good.tar.gz" demo-1.2
  local sha size
  sha="$(sha256sum "$scratch/good.tar.gz" | cut -d' ' -f1)"
  size="$(stat -c %s "$scratch/good.tar.gz")"
  if [ "$content" = good ]; then
    cp "$scratch/good.tar.gz" "$pool/demo_1.2.orig.tar.gz"
  else
    echo "$content" | gzip -n >"$pool/demo_1.2.orig.tar.gz"
  fi
  cat >"$dists/main/source/Sources" <<END
Package: demo
Version: 1:1.2-3
Directory: pool/main/d/demo
Checksums-Sha256:
 0000000000000000000000000000000000000000000000000000000000000001 900 demo_1.2-3.dsc
 $sha $size demo_1.2.orig.tar.gz
 0000000000000000000000000000000000000000000000000000000000000002 800 demo_1.2-3.debian.tar.xz

Package: demo
Version: 0.9-1
Directory: pool/main/d/demo
Checksums-Sha256:
 0000000000000000000000000000000000000000000000000000000000000003 700 demo_0.9.orig.tar.gz
END
  {
    echo "Origin: Debian"
    echo "Suite: stable"
    echo "Codename: trixie"
    echo "Date: $(date -Ru)"
    echo "Components: main"
    echo "SHA256:"
    echo " $(sha256sum "$dists/main/source/Sources" | cut -d' ' -f1) $(stat -c %s "$dists/main/source/Sources") main/source/Sources"
  } >"$dists/Release"
  gpg --batch --quiet --yes --local-user "$signer" --clearsign -o "$dists/InRelease" "$dists/Release"
}

failures=0
# check NAME UPSTREAM STATUS MESSAGE KEPT: one fetch of demo UPSTREAM; its exit status, its
# last line on standard error (a pattern, or "" for none beyond the progress line) and
# whether DIR then holds the good tarball (yes) or no tarball at all (no).
check() {
  local name="$1" upstream="$2" want_status="$3" want_message="$4" want_kept="$5"
  local status=0 printed message kept=no
  printed="$(debian_source_fetch_orig demo "$upstream" trixie "$scratch/dir" 2>"$scratch/stderr")" || status=$?
  message="$(grep -v '^== ' "$scratch/stderr" || true)"
  if [ -f "$scratch/dir/demo_1.2.orig.tar.gz" ]; then
    kept=bad
    cmp -s "$scratch/dir/demo_1.2.orig.tar.gz" "$scratch/good.tar.gz" && kept=yes
  fi
  local fault=""
  [ "$status" = "$want_status" ] || fault+=" exit status $status, not $want_status;"
  if [ -z "$want_message" ]; then
    [ -z "$message" ] || fault+=" printed \"$message\";"
  elif [ "$(printf '%s\n' "$message" | wc -l)" != 1 ] || ! [[ "$message" =~ $want_message ]]; then
    fault+=" printed \"$message\", not one line like \"$want_message\";"
  fi
  [ "$kept" = "$want_kept" ] || fault+=" tarball kept: $kept, not $want_kept;"
  local leftovers
  leftovers="$(find "$scratch/dir" -name '*.part*' -printf '%f ')"
  [ -z "$leftovers" ] || fault+=" left behind: $leftovers;"
  if [ "$want_status" = 0 ] && [ "$printed" != "$scratch/dir/demo_1.2.orig.tar.gz" ]; then
    fault+=" printed the path \"$printed\";"
  fi
  if [ -n "$fault" ]; then
    echo "FAIL $name:$fault"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# Each row: the case; what the archive's pool holds, who signs its index and whose key apt
# is given for it; what DIR holds before (nothing, the good tarball with the archive gone,
# or a damaged tarball); the version asked; and the exit status, the one line printed (a
# pattern) and whether DIR ends with the good tarball.
refused="refused demo_1.2.orig.tar.gz: its SHA-256 is not [0-9a-f]{64}, the one in Debian trixie's signed source index"
unverified="Debian trixie's source index could not be fetched or verified: [WE]: .*NO_PUBKEY"
cases=(
  "an intact, signed tarball is fetched         |good   |archive |archive |empty  |1.2|0|                         |yes"
  "a kept tarball serves without the archive    |good   |archive |archive |kept   |1.2|0|                         |yes"
  "a damaged kept tarball is fetched again      |good   |archive |archive |damaged|1.2|0|                         |yes"
  "a tarball unlike its index entry is refused  |altered|archive |archive |empty  |1.2|1|$refused                 |no"
  "an index signed by another key is refused    |good   |stranger|archive |empty  |1.2|1|$unverified              |no"
  "an archive key apt was not given is refused  |good   |archive |stranger|empty  |1.2|1|$unverified              |no"
  "a version the index lacks is named           |good   |archive |archive |empty  |2.0|1|has no original tarball of demo 2.0|no"
)
trim() { local text="${1#"${1%%[![:space:]]*}"}"; echo "${text%"${text##*[![:space:]]}"}"; }
for row in "${cases[@]}"; do
  IFS='|' read -r name content signer trusted before upstream status message kept <<<"$row"
  publish "$(trim "$content")" "$(trim "$signer")"
  use_key "$(trim "$trusted")"
  rm -rf "$scratch/dir"
  case "$(trim "$before")" in
    kept)
      debian_source_fetch_orig demo 1.2 trixie "$scratch/dir" >/dev/null 2>&1
      rm -rf "$archive" ;;
    damaged)
      debian_source_fetch_orig demo 1.2 trixie "$scratch/dir" >/dev/null 2>&1
      echo damaged >"$scratch/dir/demo_1.2.orig.tar.gz" ;;
  esac
  check "$(trim "$name")" "$upstream" "$status" "$(trim "$message")" "$(trim "$kept")"
done

# The archive's suites are replaced, security archives left out, duplicates made once.
entries="$(tamq_apt_suite_entries trixie "$scratch/etc")"
if [ "$(grep -c '^Suites: trixie$' <<<"$entries")" != 1 ] || grep -q security <<<"$entries"; then
  echo "FAIL suite entries:"
  echo "$entries"
  failures=$((failures + 1))
else
  echo "ok   suite entries"
fi

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }
