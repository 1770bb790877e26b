#!/usr/bin/env bash
# Fetches Debian source packages for the builds that compile third-party libraries themselves
# (the Windows and browser builds). Sourced, not run.
#
#   debian_source_fetch PACKAGE DIR      the package's .dsc, original tarball and Debian files into
#                                        DIR, once; prints the version DIR holds
#   debian_source_unpack PACKAGE DIR DEST  its original tarball unpacked into DEST (top folder stripped)
#
# apt-get source needs deb-src entries, which most machines lack. Rather than adding any to
# /etc/apt, the Debian entries the machine already uses are repeated as source entries in a
# private apt configuration (source list, index lists and caches of its own), kept in
# TAMQ_APT_STATE (default: ~/.cache/tamq4pelrok/apt). Nothing outside that folder and DIR
# is written, so it runs without root.

tamq_apt_state="${TAMQ_APT_STATE:-${XDG_CACHE_HOME:-$HOME/.cache}/tamq4pelrok/apt}"

# apt-get and apt-cache through the private configuration.
tamq_apt() {
  local tool="$1"
  shift
  local sandbox=()
  # As root, apt downloads as the _apt user, who cannot write into a private folder.
  [ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
  "$tool" -o Dir::Etc::sourcelist="$tamq_apt_state/sources.list" \
    -o Dir::Etc::sourceparts="$tamq_apt_state/sources.list.d" \
    -o Dir::State::Lists="$tamq_apt_state/lists" \
    -o Dir::Cache="$tamq_apt_state/cache" \
    "${sandbox[@]}" "$@"
}

# Prints the Debian entries of the apt configuration in ETC (default /etc/apt), deb822 and
# one-line formats alike, as deb822 source stanzas. Only Debian's own archives are taken.
tamq_apt_source_entries() {
  local etc="${1:-/etc/apt}" file
  for file in "$etc"/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    awk -v RS= -v ORS='\n\n' '/URIs:[^\n]*debian/ && /Types:[^\n]*deb/ && !/Enabled: *no/ {
        sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file"
  done
  for file in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
    [ -e "$file" ] || continue
    awk '$1 == "deb" && /debian/ {
        opts = ""; i = 2
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
        uri = $i; suite = $(i + 1); comps = ""
        for (j = i + 2; j <= NF; j++) comps = comps " " $j
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:%s\n", uri, suite, comps
        if (match(opts, /signed-by=[^] ]+/))
          printf "Signed-By: %s\n", substr(opts, RSTART + 10, RLENGTH - 10)
        printf "\n" }' "$file"
  done
}

# Writes the private source list and refreshes its index.
tamq_apt_prepare() {
  mkdir -p "$tamq_apt_state/sources.list.d" "$tamq_apt_state/lists/partial" \
    "$tamq_apt_state/cache/archives/partial"
  local list="$tamq_apt_state/sources.list.d/debian-src.sources"
  tamq_apt_source_entries >"$list.tmp"
  if [ ! -s "$list.tmp" ]; then
    rm -f "$list.tmp"
    echo "no Debian archive found in the apt sources to fetch source packages from" >&2
    return 1
  fi
  mv "$list.tmp" "$list"
  : >"$tamq_apt_state/sources.list"
  tamq_apt apt-get update -qq >/dev/null
}

debian_source_fetch() {
  local package="$1" dir="$2"
  mkdir -p "$dir" "$tamq_apt_state"
  if [ -f "$dir/$package.version" ] && ls "$dir/${package}_"*.dsc >/dev/null 2>&1; then
    cat "$dir/$package.version"
    return 0
  fi
  # Builds running side by side share the private index: one refreshes it at a time.
  (
    flock 9
    echo "== fetching Debian's $package source package" >&2
    tamq_apt_prepare || exit 1
    # The newest version first; an archive may lag behind its index (security updates do),
    # so older versions of the same package are tried in turn.
    local version
    for version in $(tamq_apt apt-cache showsrc "$package" 2>/dev/null |
      awk '/^Version:/ {print $2}' | sort -ruV); do
      rm -f "$dir/${package}_"*
      if (cd "$dir" && tamq_apt apt-get source --download-only -qq "$package=$version" >/dev/null 2>&1); then
        echo "$version" >"$dir/$package.version"
        echo "$version"
        exit 0
      fi
    done
    echo "could not fetch Debian's $package source package" >&2
    exit 1
  ) 9>"$tamq_apt_state/lock"
}

debian_source_unpack() {
  local package="$1" dir="$2" dest="$3" tarball
  tarball="$(ls "$dir/${package}_"*.orig.tar.* 2>/dev/null | head -n1)"
  [ -n "$tarball" ] || { echo "no original tarball of $package in $dir" >&2; return 1; }
  rm -rf "$dest"
  mkdir -p "$dest"
  tar -xf "$tarball" -C "$dest" --strip-components=1
}
