#!/usr/bin/env bash
# Installs the Debian packages the game, its tools and its tests need, when missing.
# apt-get runs as root, through sudo otherwise. Sourced.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Building and playing the game: all that run.sh installs.
TAMQ_PLAY_PACKAGES=(
  build-essential cmake pkg-config ccache
  libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libpng-dev zlib1g-dev nlohmann-json3-dev libopenal-dev libcurl4-openssl-dev
)

# The board service: its HTTP, database and signing libraries, and the PostgreSQL server
# that its tests and the local board run in a cluster of their own.
TAMQ_BOARD_PACKAGES=(
  build-essential cmake pkg-config ccache nlohmann-json3-dev
  libboost-dev libcpp-httplib-dev libpqxx-dev libpq-dev libssl-dev postgresql-15 curl
)

# HTTPS on loopback in the tests (scripts/lib/tls.sh) and the slow board's proxy.
TAMQ_TLS_PACKAGES=(nginx openssl curl python3)

# Only the full tier needs these: the fuzzers' compiler, and the board page's browser test.
TAMQ_FULL_TIER_PACKAGES=(clang-14 libclang-rt-14-dev chromium python3-websocket)

# Those and the content generators, the tests, the benchmarks and the end-to-end runs.
TAMQ_QUICK_TIER_PACKAGES=(
  "${TAMQ_PLAY_PACKAGES[@]}"
  git libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool imagemagick x11-utils xauth libx11-dev strace
  openbox x11-xserver-utils
  desktop-file-utils appstream
  gpg gpg-agent
  "${TAMQ_BOARD_PACKAGES[@]}"
  "${TAMQ_TLS_PACKAGES[@]}"
  systemd
)
TAMQ_PACKAGES=("${TAMQ_QUICK_TIER_PACKAGES[@]}" "${TAMQ_FULL_TIER_PACKAGES[@]}")

# tamq_install_packages PACKAGE...: installs those of the packages that are missing.
tamq_install_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  # Stages run side by side may install at once: one waits for the other's apt.
  (
    flock 9
    echo "Installing missing packages: ${missing[*]}"
    tamq_as_root apt-get update -qq
    tamq_as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  ) 9>"${TMPDIR:-/tmp}/tamq4pelrok-apt.lock"
  if tamq_one_of nginx "${missing[@]}"; then
    tamq_quiet_new_nginx
  fi
}

# tamq_quiet_new_nginx: the tests run nginx of their own on loopback; the machine's, which
# Debian's package just enabled and started with its default site on port 80, is stopped
# and that site alone removed (a link the package made; any other site is left as it is).
tamq_quiet_new_nginx() {
  local site=/etc/nginx/sites-enabled/default
  if [ -L "$site" ] && [ "$(readlink "$site")" = /etc/nginx/sites-available/default ]; then
    tamq_as_root rm -f "$site"
  fi
  if [ -d /run/systemd/system ]; then
    tamq_as_root systemctl disable --now nginx >/dev/null 2>&1 || echo "nginx: the machine's service could not be stopped" >&2
  elif [ -x /etc/init.d/nginx ]; then
    tamq_as_root /etc/init.d/nginx stop >/dev/null 2>&1 || true
  fi
}

# The packages of the Linux build, its tools and its tests.
tamq_install_deps() {
  tamq_install_packages "${TAMQ_PACKAGES[@]}"
}

# Only what the quick tier of the tests needs.
tamq_install_quick_deps() {
  tamq_install_packages "${TAMQ_QUICK_TIER_PACKAGES[@]}"
}

# Only what building and playing the game needs.
tamq_install_play_deps() {
  tamq_install_packages "${TAMQ_PLAY_PACKAGES[@]}"
}

# Only what building and running the board service needs.
tamq_install_board_deps() {
  tamq_install_packages "${TAMQ_BOARD_PACKAGES[@]}"
}

# Only what the tests' HTTPS and slow board need.
tamq_install_tls_deps() {
  tamq_install_packages "${TAMQ_TLS_PACKAGES[@]}"
}
