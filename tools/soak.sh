#!/usr/bin/env bash
# Plays the real game headless for a long simulated session with seeded random input and
# prints its figures (frames, runs, lives lost, resident memory each simulated minute).
#   tools/soak.sh [simulated minutes, default 60] [seed]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMQ_SOAK_BUILD:-$root/build-rel}"
cmake -S "$root" -B "$build" -DTAMQ_BUILD_BENCH=OFF > /dev/null
cmake --build "$build" -j 2 --target soak_tests > /dev/null
cd "$root"
SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 TAMQ_SOAK_MINUTES="${1:-60}" \
  TAMQ_SOAK_SEED="${2:-20261207}" "$build/tests/soak_tests"
