#!/usr/bin/env bash
# Builds the game and runs its tests headless with CTest.
#   ./test.sh                    the quick tier: every test not labelled "full" (the unit and
#                                integration tests, and one run played in a window)
#   ./test.sh -R GameRules       extra arguments go to ctest and choose from every test
#   ./test.sh --full             every test, then every file-reader fuzzer for a few seconds
#                                and the suite again under the sanitizers, as stages with a
#                                table of their times at the end
#   TAMQ_WINDOWS=1 ./test.sh --full   and the Windows build with its tests under Wine
#   TAMQ_WEB=1 ./test.sh --full       and the browser build with its tests under node and in
#                                     headless Chromium (CI sets both)
#   TAMQ_PACKAGE_CHECKS=1 ./test.sh --full   and the processor figures and both packages'
#                                            checks (CI)
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

source "$TAMQ_ROOT/tests/lib/stages.sh"
started="$SECONDS"
# Tests and tools on, also in a tree that run.sh made for the game alone. Outside CI a
# tree keeps the warnings setting it has: changing it recompiles everything.
configure=(-DTAMQ_BUILD_TESTS=ON -DTAMQ_BUILD_TOOLS=ON)
new_tree=0
[ -f "$(tamq_build_dir default)/CMakeCache.txt" ] || new_tree=1
if [ "${CI:-}" = true ] || [ "$new_tree" = 1 ]; then
  configure+=(-DTAMQ_WERROR="$TAMQ_WERROR")
fi
if [ "$full" = 1 ]; then
  tamq_install_deps
  configure+=(-DTAMQ_BUILD_BENCH=ON)
else
  tamq_install_quick_deps
  # The benchmarks are no test's: a new tree leaves them out (a tree that has them keeps them).
  [ "$new_tree" = 0 ] || configure+=(-DTAMQ_BUILD_BENCH=OFF)
  [ ${#ctest_args[@]} -gt 0 ] || ctest_args=(-LE full)
fi
tamq_configure default "${configure[@]}"
tamq_stages_begin "$(tamq_build_dir default)/stages"
tamq_stage_run build tamq_build default && tamq_stage_run tests tamq_ctest default "${ctest_args[@]}" || true
if [ "$full" = 0 ]; then
  tamq_stages_end "$((SECONDS - started))"
  exit 0
fi

# Reliability: every file-reader fuzzer for three seconds, two at a time, after replaying
# its stored corpus, beside the suite under AddressSanitizer and UBSan (without the window,
# soak and script tests, whose code the suite just ran).
tamq_stage_start fuzz "$TAMQ_ROOT/tests/fuzz.sh" 3 2
tamq_stage_run sanitizers "$TAMQ_ROOT/tests/sanitized_tests.sh" "${ctest_args[@]}" || true
tamq_stages_wait
# The Windows build under Wine runs alone: its window tests inject keys and move the focus
# through the X server, and a busy machine stretches those waits.
if [ "${TAMQ_WINDOWS:-0}" = 1 ]; then
  tamq_stage_run windows "$TAMQ_ROOT/scripts/windows.sh" test || true
fi
# The browser build, its unit tests under node and its play in headless Chromium.
if [ "${TAMQ_WEB:-0}" = 1 ]; then
  tamq_stage_start web "$TAMQ_ROOT/scripts/web.sh" test
fi
tamq_stages_wait
if [ "${TAMQ_PACKAGE_CHECKS:-0}" = 1 ]; then
  # The processor use of the game just built, for the log: figures, no limit; alone, so
  # that nothing else shares the processor.
  tamq_stage_run cpu_use env TAMQ_CPU_SECONDS=3 "$TAMQ_ROOT/bench/cpu_use.sh" || true
  # The .deb: lintian, and install, play and purge in a clean Debian 12 root; the Windows
  # installer: install, play and uninstall under Wine in a fresh prefix.
  tamq_stage_start package_deb "$TAMQ_ROOT/scripts/package-deb.sh" check
  tamq_stage_start package_windows "$TAMQ_ROOT/scripts/package-windows.sh" check
fi
tamq_stages_end "$((SECONDS - started))"
