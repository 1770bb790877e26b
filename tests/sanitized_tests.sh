#!/usr/bin/env bash
# The test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer (the
# "asan" preset, in build-asan). Any report fails the test that caused it. Extra arguments
# go to ctest; without them every test runs but most window, browser, soak and script ones
# (labels e2e, soak, script): those drive the same code the unit and integration tests run
# here, which the normal pass has just run them through. The window faults and the
# signals still run here, with the sanitized program.
set -euo pipefail
source "$(dirname "$0")/../scripts/env.sh"

# SDL unloads libEGL, and with it Mesa, when its window goes, before the leak check runs;
# the preset links libEGL into every program so Mesa stays loaded and its allocations stay
# nameable. Even so, llvmpipe's JIT-compiled code makes small allocations whose stacks name
# no library (reported after every drawing test), so LeakSanitizer is off here until they
# can be told apart; TAMQ_ASAN_LEAKS=1 turns it on.
export ASAN_OPTIONS="detect_leaks=${TAMQ_ASAN_LEAKS:-0}:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"

tamq_configure asan
tamq_build asan
if [ $# -gt 0 ]; then
  tamq_ctest asan "$@"
else
  tamq_ctest asan -LE 'e2e|soak|script'
  # Of the real program's runs, the two that drive the shell through its faults and
  # signals: only here does the sanitized executable itself meet them.
  tamq_ctest asan -R '^e2e_(window_faults|close_on_signal)$'
fi

# The tests that never open an OpenGL context have no driver allocations to hide, so they
# run once more with LeakSanitizer on: the byte readers and the sound format, the math, the
# collider, the controller, the camera rig, the traffic file reader and the best scores.
if [ "${TAMQ_ASAN_LEAKS:-0}" != 1 ] && [ $# -eq 0 ]; then
  echo "Leak check of the tests that draw nothing:"
  build="$(tamq_build_dir asan)"
  cd "$TAMQ_ROOT"   # the traffic test reads data/ as the game does
  leaky="${ASAN_OPTIONS/detect_leaks=0/detect_leaks=1}"
  ASAN_OPTIONS="$leaky" "$build/tests/io_tests" --gtest_brief=1
  ASAN_OPTIONS="$leaky" "$build/tests/math_tests" --gtest_brief=1
  ASAN_OPTIONS="$leaky" "$build/tests/control_tests" --gtest_brief=1
  ASAN_OPTIONS="$leaky" "$build/tests/game_tests" --gtest_brief=1 \
    --gtest_filter='PatternFile*:TrafficScript*:BestScore*'
fi
