#!/usr/bin/env bash
# Builds the game if needed and starts it from the project root, where data/ lives.
set -euo pipefail
source "$(dirname "$0")/scripts/lib/deps.sh"
source "$(dirname "$0")/scripts/lib/build.sh"
tamq_install_deps
tamq_configure default
tamq_build default tamq
cd "$TAMQ_ROOT"
exec "$(tamq_build_dir default)/app/tamq" "$@"
