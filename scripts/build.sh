#!/bin/bash
# Builds the host tools (build/host) and then the Windows side (build/target,
# or the folder TARGET_BUILD names).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
HOST="${HOST_BUILD:-$ROOT/build/host}"
OUT="${TARGET_BUILD:-$ROOT/build/target}"
cmake -S "$ROOT/tools" -B "$HOST" >/dev/null
cmake --build "$HOST" -j"$(nproc)"
cmake -S "$ROOT" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DVEXLIN_HOST_TOOLS="$HOST" >/dev/null
cmake --build "$OUT" -j"$(nproc)"
