#!/bin/bash
# Configures and builds the Windows side in build/target.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
JOBS="$(nproc)"
cmake -S "$ROOT" -B "$ROOT/build/target" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$ROOT/build/target" -j"$JOBS"
