#!/usr/bin/env bash
# Installs what is missing, builds, and starts Oxilume with its built-in
# device emulator, so that it can be tried without an oximeter.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
exec "$top/build/bin/oxilume" -demo "$@"
