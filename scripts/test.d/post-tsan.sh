#!/usr/bin/env bash
# Builds the widget-free core (serial, link, emulator, command-line tool) with
# ThreadSanitizer in its own build folder and runs their tests there. Exits
# non-zero when a test fails or the sanitizer reports a race.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${OXILUME_TSAN_BUILD_DIR:-$top/build-tsan}

if command -v clang++ >/dev/null; then
  compilers=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
else
  compilers=()
fi

cmake -S "$top" -B "$build" -G Ninja "${compilers[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOXILUME_CORE_ONLY=ON -DOXILUME_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null || exit 1
cmake --build "$build" --parallel 2 || exit 1

# halt_on_error makes a report fail the test that caused it. The suppressions
# file is for code outside the project only.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 exitcode=66 suppressions=$top/scripts/tsan.supp ${TSAN_OPTIONS:-}"

# Some kernels hand out mappings that ThreadSanitizer's fixed memory layout
# cannot take; run without address randomisation when setarch can do that.
run=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  run=(setarch "$(uname -m)" -R)
fi

cd "$build" || exit 1
"${run[@]}" ctest --output-on-failure --timeout 900 -j2 -R '^(link|cli|sim|serial|decode)\.'
