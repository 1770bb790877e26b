#!/usr/bin/env bash
# Builds everything and runs the whole test suite headless.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
source "$root/scripts/deps.sh"
tamq_install_deps

build="$root/build"
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S "$root" -B "$build" -DTAMQ_WERROR=$werror > /dev/null
cmake --build "$build" -j "$(nproc)"

# Rendering tests use Mesa's software rasteriser through SDL's offscreen driver: no display needed.
export SDL_VIDEODRIVER=offscreen
export LIBGL_ALWAYS_SOFTWARE=1
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"

# Reliability: every file-reader fuzzer for three seconds (after replaying its stored
# corpus), then the whole suite again under AddressSanitizer, UBSan and LeakSanitizer.
"$root/tools/fuzz.sh" 3 2
"$root/tools/sanitized_tests.sh"

# The Windows build under Wine, when asked: TAMQ_WINDOWS=1 ./test.sh
if [ "${TAMQ_WINDOWS:-0}" = 1 ]; then
  "$root/scripts/windows.sh" test
fi
