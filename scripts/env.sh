#!/usr/bin/env bash
# The environment of the project's build and test scripts. Sourced by test.sh and the
# scripts under scripts/, tests/ and bench/; it sets TAMQ_ROOT, brings the libraries every one of
# them uses (packages, build trees) and exports what the headless runs need.
source "$(dirname "${BASH_SOURCE[0]}")/lib/deps.sh"
source "$(dirname "${BASH_SOURCE[0]}")/lib/build.sh"

# Rendering goes through Mesa's software rasteriser and SDL's offscreen driver: no display
# and no GPU needed, and the same pictures on every machine.
export SDL_VIDEODRIVER=offscreen
export LIBGL_ALWAYS_SOFTWARE=1
# Sanitizer builds (the sanitizer pass, the fuzzers): Mesa and SDL keep driver allocations
# until exit, see the suppressions file; any undefined behaviour stops the program with
# its stack.
export LSAN_OPTIONS="suppressions=$TAMQ_ROOT/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The compiler cache: paths below the project root count as relative, so clones and work
# trees in other folders reuse each other's objects.
export CCACHE_BASEDIR="$TAMQ_ROOT"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"
