#!/bin/bash
# The whole check: set-up, host tools and their tests, the score server and its
# tests, the Windows build, and every Windows test under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
JOBS="$(nproc)"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"
(cd "$ROOT/build/host" && ctest --output-on-failure -j"$JOBS" --timeout 600)
# The score server: its rules, then real servers on the loopback interface against SQLite and against a
# private PostgreSQL that the run starts and stops.
(cd "${SERVER_BUILD:-$ROOT/build/server}" && ctest --output-on-failure -j"$JOBS" --timeout 300)
cd "$ROOT/build/target"
"$ROOT/scripts/with-display" ctest --output-on-failure -j"$JOBS" --timeout 600
