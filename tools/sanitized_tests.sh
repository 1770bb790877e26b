#!/usr/bin/env bash
# The whole test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer
# (LeakSanitizer on where the driver allows), in build-asan next to the normal build. Any report fails the test
# that caused it. Extra arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAMQ_ASAN_BUILD:-$root/build-asan}"
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

# Mesa and SDL keep driver allocations until exit; see the suppressions file. SDL unloads
# libEGL, and with it Mesa, when its window goes, before the leak check runs; the programs
# link libEGL themselves so Mesa stays loaded and its allocations stay nameable.
# Even so, llvmpipe's JIT-compiled code makes small allocations whose stacks name no library
# (reported after every drawing test), so LeakSanitizer is off here until they can be told
# apart; tools/sanitized_tests.sh with TAMQ_ASAN_LEAKS=1 turns it on.
export ASAN_OPTIONS="detect_leaks=${TAMQ_ASAN_LEAKS:-0}:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1

# The content generators are left out: they only write data/, and the normal build already
# checks their output byte for byte.
cmake -S "$root" -B "$build" -DTAMQ_BUILD_BENCH=OFF -DTAMQ_BUILD_TOOLS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined -Wl,--no-as-needed -lEGL -Wl,--as-needed" > /dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"

# The tests that never open an OpenGL context have no driver allocations to hide, so they
# run once more with LeakSanitizer on: the math, the collider, the controller, the camera
# rig and the traffic file reader.
if [ "${TAMQ_ASAN_LEAKS:-0}" != 1 ] && [ $# -eq 0 ]; then
  echo "Leak check of the tests that draw nothing:"
  cd "$root"   # the traffic test reads data/ as the game does
  leaky="${ASAN_OPTIONS/detect_leaks=0/detect_leaks=1}"
  ASAN_OPTIONS="$leaky" "$build/tests/math_tests" --gtest_brief=1
  ASAN_OPTIONS="$leaky" "$build/tests/control_tests" --gtest_brief=1
  ASAN_OPTIONS="$leaky" "$build/tests/game_tests" --gtest_brief=1 \
    --gtest_filter='PatternFile*:TrafficScript*'
fi
