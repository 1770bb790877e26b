#!/usr/bin/env bash
# Installs the Debian packages the game, its tools and its tests need, when missing.
# Sourced by run.sh and test.sh; apt-get runs as root, through sudo otherwise.

TAMQ_PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libpng-dev zlib1g-dev nlohmann-json3-dev
  libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool imagemagick x11-utils xauth libx11-dev
  clang-14 libclang-rt-14-dev openbox x11-xserver-utils
)

tamq_install_deps() {
  local missing=()
  local pkg
  for pkg in "${TAMQ_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
