#!/bin/bash
# The whole check: set-up, host tools, Windows build, every test under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
JOBS="$(nproc)"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"
cd "$ROOT/build/target"
"$ROOT/scripts/with-display" bash -c "ctest --output-on-failure -j$JOBS --timeout 600"
