#!/usr/bin/env bash
# The desktop program's stress test (start, burst of lines, stop / File New /
# close window, 200 cycles) under ThreadSanitizer, on real widgets (offscreen)
# and the device emulator. Qt itself is not instrumented: its internal
# synchronisation is invisible to the sanitizer, so calls that Qt's own
# libraries make into the sanitizer's interceptors are ignored
# (ignore_noninstrumented_modules). Every access of the project's code is
# still checked. Exits non-zero on a failure or a report.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${OXILUME_TSAN_APP_BUILD_DIR:-$top/build-tsan-app}

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOXILUME_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null || exit 1
cmake --build "$build" --parallel 2 --target app_stress_test || exit 1

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 exitcode=66 ignore_noninstrumented_modules=1 suppressions=$top/scripts/tsan.supp ${TSAN_OPTIONS:-}"
run=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  run=(setarch "$(uname -m)" -R)
fi
cd "$build" || exit 1
"${run[@]}" ctest --output-on-failure --timeout 1800 -R '^app\.stress$'
