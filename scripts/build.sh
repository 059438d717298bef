#!/bin/bash
# Configures and builds the Windows side (in build/target unless TARGET_BUILD
# names another folder).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${TARGET_BUILD:-$ROOT/build/target}"
cmake -S "$ROOT" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$OUT" -j"$(nproc)"
