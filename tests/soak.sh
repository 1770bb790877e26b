#!/usr/bin/env bash
# Plays the real game headless for a long simulated session with seeded random input and
# prints its figures (frames, runs, lives lost, resident memory each simulated minute).
#   tests/soak.sh [simulated minutes, default 60] [seed]
# Built in the benchmarks' Release tree, beside the normal build.
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"
[ $# -le 2 ] && tamq_whole_numbers "$@" || tamq_usage "usage: tests/soak.sh [MINUTES [SEED]]"
tamq_arguments_checked
tamq_configure bench > /dev/null
tamq_build bench soak_tests > /dev/null
cd "$TAMQ_ROOT"
TAMQ_SOAK_MINUTES="${1:-60}" TAMQ_SOAK_SEED="${2:-20261207}" "$(tamq_build_dir bench)/tests/soak_tests"
