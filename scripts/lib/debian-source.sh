#!/usr/bin/env bash
# Fetches Debian source packages for the builds that compile third-party libraries themselves
# (the Windows and browser builds). Sourced, not run.
#
#   debian_source_fetch PACKAGE DIR      the package's .dsc, original tarball and Debian files into
#                                        DIR, once; prints the version DIR holds
#   debian_source_unpack PACKAGE DIR DEST  its original tarball unpacked into DEST (top folder stripped)
#   debian_source_fetch_orig PACKAGE UPSTREAM SUITE DIR
#                                        the original tarball of PACKAGE's upstream version
#                                        UPSTREAM from another Debian release, SUITE (say trixie),
#                                        into DIR, once; prints its path. For a package whose
#                                        version in the machine's own release cannot be fetched.
#
# apt-get source needs deb-src entries, which most machines lack. Rather than adding any to
# /etc/apt, the Debian entries the machine already uses are repeated as source entries in a
# private apt configuration (source list, index lists and caches of its own), kept in
# TAMQ_APT_STATE (default: ~/.cache/tamq4pelrok/apt). Nothing outside that folder and DIR
# is written, so it runs without root.

tamq_apt_state="${TAMQ_APT_STATE:-${XDG_CACHE_HOME:-$HOME/.cache}/tamq4pelrok/apt}"
# The apt configuration whose Debian entries are repeated (a test points it elsewhere).
tamq_apt_etc="${TAMQ_APT_ETC:-/etc/apt}"

# tamq_apt_in STATE TOOL ARGUMENTS...: an apt tool through the private configuration in STATE.
tamq_apt_in() {
  local state="$1" tool="$2"
  shift 2
  local sandbox=()
  # As root, apt downloads as the _apt user, who cannot write into a private folder.
  [ "$(id -u)" -eq 0 ] && sandbox=(-o APT::Sandbox::User=root)
  "$tool" -o Dir::Etc::sourcelist="$state/sources.list" \
    -o Dir::Etc::sourceparts="$state/sources.list.d" \
    -o Dir::State::Lists="$state/lists" \
    -o Dir::Cache="$state/cache" \
    "${sandbox[@]}" "$@"
}

# apt-get and apt-cache through the private configuration of the machine's own release.
tamq_apt() { tamq_apt_in "$tamq_apt_state" "$@"; }

# Prints the Debian entries of the apt configuration in ETC (default /etc/apt), deb822 and
# one-line formats alike, as deb822 source stanzas. Only Debian's own archives are taken.
tamq_apt_source_entries() {
  local etc="${1:-$tamq_apt_etc}" file
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

# tamq_apt_suite_entries SUITE [ETC]: the source entries of the Debian archives in ETC with
# their suites replaced by SUITE. Security archives are left out: they name their suites
# differently, and a tarball is the same in the main archive.
tamq_apt_suite_entries() {
  local suite="$1"
  tamq_apt_source_entries "${2:-$tamq_apt_etc}" |
    awk -v RS= -v ORS='\n\n' -v suite="$suite" '!/Suites:[^\n]*-security/ {
        sub(/Suites:[^\n]*/, "Suites: " suite); if (!seen[$0]++) print }'
}

# tamq_apt_prepare [STATE SUITE]: writes the private source list (of the machine's own
# release, or of SUITE's in STATE) and refreshes its index. apt checks the index against
# the signed Release file with the archive's key, as for the machine's own packages.
tamq_apt_prepare() {
  local state="${1:-$tamq_apt_state}" suite="${2:-}"
  mkdir -p "$state/sources.list.d" "$state/lists/partial" "$state/cache/archives/partial"
  local list="$state/sources.list.d/debian-src.sources"
  if [ -n "$suite" ]; then
    tamq_apt_suite_entries "$suite" >"$list.tmp"
  else
    tamq_apt_source_entries >"$list.tmp"
  fi
  if [ ! -s "$list.tmp" ]; then
    rm -f "$list.tmp"
    echo "no Debian archive found in the apt sources to fetch source packages from" >&2
    return 1
  fi
  mv "$list.tmp" "$list"
  : >"$state/sources.list"
  local log="$state/update.log"
  # apt only warns when a refreshed index fails its signature and keeps the one it had:
  # that is a failure here too, as the archive no longer serves what it signed.
  local faults='^(E: |W: .*(signature|GPG error))'
  if ! tamq_apt_in "$state" apt-get update -qq >"$log" 2>&1 || grep -Eq "$faults" "$log"; then
    echo "Debian${suite:+ $suite}'s source index could not be fetched or verified: $(grep -Em1 "$faults" "$log" || echo "apt-get update failed")" >&2
    return 1
  fi
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

# The record in DIR of a tarball fetched by debian_source_fetch_orig: "SHA-256 name".
debian_source_fetch_orig() {
  local package="$1" upstream="$2" suite="$3" dir="$4"
  local state="$tamq_apt_state/$suite" record="$dir/$package-$upstream.orig"
  mkdir -p "$dir" "$state"
  # A kept tarball serves again, without the network, while it has the checksum it came with.
  local sha name
  if [ -f "$record" ] && read -r sha name <"$record" && [ -f "$dir/$name" ] &&
    echo "$sha  $dir/$name" | sha256sum --check --status; then
    echo "$dir/$name"
    return 0
  fi
  (
    flock 9
    echo "== fetching $package $upstream from Debian $suite" >&2
    rm -f "$record"
    tamq_apt_prepare "$state" "$suite" || exit 1
    # The index's stanza of that upstream version (whatever its epoch and Debian revision):
    # its folder in the pool, then the SHA-256 and name of its original tarball.
    local found
    found="$(tamq_apt_in "$state" apt-cache showsrc --only-source "$package" 2>/dev/null |
      awk -v RS= -v package="$package" -v upstream="$upstream" '
        {
          version = ""; directory = ""; orig = ""; sums = 0
          n = split($0, lines, "\n")
          for (i = 1; i <= n; i++) {
            line = lines[i]
            if (line ~ /^Version: /) version = substr(line, 10)
            else if (line ~ /^Directory: /) directory = substr(line, 12)
            else if (line ~ /^Checksums-Sha256:/) sums = 1
            else if (sums && line ~ /^ /) {
              split(line, f, " ")
              if (index(f[3], package "_" upstream ".orig.tar.") == 1) orig = f[1] " " f[3]
            } else sums = 0
          }
          sub(/^[0-9]+:/, "", version)
          if ((version == upstream || index(version, upstream "-") == 1) && orig != "" && directory != "") {
            print directory " " orig
            exit
          }
        }')"
    if [ -z "$found" ]; then
      echo "Debian $suite's source index has no original tarball of $package $upstream" >&2
      exit 1
    fi
    local directory
    read -r directory sha name <<<"$found"
    if ! [[ "$sha" =~ ^[0-9a-f]{64}$ && "$name" =~ ^[A-Za-z0-9.+~_-]+$ && "$directory" =~ ^[A-Za-z0-9./+~_-]+$ ]]; then
      echo "Debian $suite's source index gives an unusable entry for $package $upstream: $found" >&2
      exit 1
    fi
    local uri log="$state/download.log" mismatch=0
    rm -f "$dir/$name"
    # apt-helper refuses a file whose SHA-256 differs from the index's; it is checked again
    # here before the tarball takes its name.
    for uri in $(awk '/^URIs:/ { for (i = 2; i <= NF; i++) print $i }' "$state/sources.list.d/debian-src.sources"); do
      rm -f "$dir/$name.part" "$dir/$name.part.FAILED"
      if tamq_apt_in "$state" /usr/lib/apt/apt-helper download-file "${uri%/}/$directory/$name" \
        "$dir/$name.part" "SHA256:$sha" >"$log" 2>&1 &&
        echo "$sha  $dir/$name.part" | sha256sum --check --status; then
        mv "$dir/$name.part" "$dir/$name"
        echo "$sha $name" >"$record"
        echo "$dir/$name"
        exit 0
      fi
      grep -q "Hash Sum mismatch" "$log" && mismatch=1
      [ -e "$dir/$name.part" ] && mismatch=1
      rm -f "$dir/$name.part" "$dir/$name.part.FAILED"
    done
    if [ $mismatch = 1 ]; then
      echo "refused $name: its SHA-256 is not $sha, the one in Debian $suite's signed source index" >&2
    else
      echo "could not fetch $name from Debian $suite: $(grep -m1 '^E: ' "$log" || echo "no archive answered")" >&2
    fi
    exit 1
  ) 9>"$state.lock"
}
