#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the main build's
# CTest suite (widgets on the offscreen platform), then each extra stage in
# scripts/test.d (sanitizer builds, fuzzing, the print system). Exits
# non-zero when anything fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/install-deps.sh || exit 1
failed=0

# Stages that must run before the suite (services such as the print system).
for stage in scripts/test.d/pre-*.sh; do
  [ -e "$stage" ] || continue
  echo "=== $stage"
  bash "$stage" || { echo "FAILED: $stage"; failed=1; }
done

bash scripts/build.sh || exit 1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
echo "=== ctest (main build)"
(cd build && ctest --output-on-failure --timeout 600 -j2) || failed=1

for stage in scripts/test.d/post-*.sh; do
  [ -e "$stage" ] || continue
  echo "=== $stage"
  bash "$stage" || { echo "FAILED: $stage"; failed=1; }
done

[ $failed -eq 0 ] && echo "All test stages passed." || echo "Some test stages FAILED."
exit $failed
