#!/usr/bin/env bash
# Builds the game if needed and starts it from the project root, where data/ lives.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
source "$root/scripts/deps.sh"
tamq_install_deps

build="$root/build"
cmake -S "$root" -B "$build" > /dev/null
cmake --build "$build" -j "$(nproc)" --target tamq
cd "$root"
exec "$build/app/tamq" "$@"
