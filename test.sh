#!/usr/bin/env bash
# Builds the game and runs its test suite headless with CTest.
#   ./test.sh                    the CTest suite of the normal build (build/)
#   ./test.sh -R GameRules       extra arguments go to ctest
#   ./test.sh --full             then every file-reader fuzzer for a few seconds and the whole
#                                suite again under the sanitizers
#   TAMQ_WINDOWS=1 ./test.sh --full   and the Windows build with its tests under Wine
#   TAMQ_WEB=1 ./test.sh --full       and the browser build with its tests under node and in
#                                     headless Chromium (CI sets both)
set -euo pipefail
source "$(dirname "$0")/scripts/env.sh"

full=0
ctest_args=()
for argument in "$@"; do
  if [ "$argument" = --full ]; then
    full=1
  else
    ctest_args+=("$argument")
  fi
done

tamq_install_deps
# Tests, tools and benchmarks on, also in a tree that run.sh made for the game alone.
tamq_configure default -DTAMQ_WERROR="$TAMQ_WERROR" -DTAMQ_BUILD_TESTS=ON -DTAMQ_BUILD_TOOLS=ON -DTAMQ_BUILD_BENCH=ON
tamq_build default
tamq_ctest default "${ctest_args[@]}"
[ "$full" = 1 ] || exit 0

# Reliability: every file-reader fuzzer for three seconds, two at a time, after replaying
# its stored corpus; then the whole suite under AddressSanitizer and UBSan.
"$TAMQ_ROOT/tools/fuzz.sh" 3 2
"$TAMQ_ROOT/tools/sanitized_tests.sh" "${ctest_args[@]}"
if [ "${TAMQ_WINDOWS:-0}" = 1 ]; then
  "$TAMQ_ROOT/scripts/windows.sh" test
fi
# The browser build, its unit tests under node and its play in headless Chromium.
if [ "${TAMQ_WEB:-0}" = 1 ]; then
  "$TAMQ_ROOT/scripts/web.sh" test
fi
