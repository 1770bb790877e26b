#!/usr/bin/env bash
# Builds the game if needed and starts it from the project root, where data/ lives.
set -euo pipefail
source "$(dirname "$0")/scripts/lib/deps.sh"
source "$(dirname "$0")/scripts/lib/build.sh"
tamq_install_play_deps
# A new tree builds only the game; one that test.sh configured keeps its tests and tools.
if [ -f "$(tamq_build_dir default)/CMakeCache.txt" ]; then
  tamq_configure default
else
  tamq_configure default -DTAMQ_BUILD_TESTS=OFF -DTAMQ_BUILD_TOOLS=OFF -DTAMQ_BUILD_BENCH=OFF
fi
tamq_build default tamq
cd "$TAMQ_ROOT"
exec "$(tamq_build_dir default)/app/tamq" "$@"
