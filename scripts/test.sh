#!/bin/bash
# The whole check: set-up, host tools and their tests, the Windows build, and
# every Windows test under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
JOBS="$(nproc)"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"
(cd "$ROOT/build/host" && ctest --output-on-failure -j"$JOBS" --timeout 600)
cd "$ROOT/build/target"
"$ROOT/scripts/with-display" ctest --output-on-failure -j"$JOBS" --timeout 600
