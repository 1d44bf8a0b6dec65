#!/usr/bin/env bash
# Builds the frame-decoding fuzz target with clang (ASan + UBSan + libFuzzer)
# in its own build folder and runs it on its seed corpus for a short while.
# Exits non-zero when the fuzzer finds a crash, a sanitizer report or a
# broken decoding rule. OXILUME_FUZZ_SECONDS sets the run time (default 60).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${OXILUME_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${OXILUME_FUZZ_SECONDS:-60}

command -v clang++ >/dev/null || { echo "post-fuzz: clang++ is missing (run scripts/install-deps.sh)" >&2; exit 1; }

cmake -S "$top" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DOXILUME_CORE_ONLY=ON -DOXILUME_FUZZ=ON -DOXILUME_WERROR=ON >/dev/null
cmake --build "$build" --target fuzz_decode --parallel 2

# New inputs go to a working copy, so the committed seeds stay as they are.
work="$build/fuzz-corpus"
mkdir -p "$work" "$build/fuzz-artifacts"
"$build/bin/fuzz_decode" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/" "$work" "$top/tests/fuzz/corpus"
