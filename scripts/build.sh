#!/bin/bash
# Builds the host tools (build/host), the score server (build/server, a host
# program of its own) and then the Windows side (build/target, or the folder
# TARGET_BUILD names).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
HOST="${HOST_BUILD:-$ROOT/build/host}"
OUT="${TARGET_BUILD:-$ROOT/build/target}"
SERVER="${SERVER_BUILD:-$ROOT/build/server}"
cmake -S "$ROOT/tools" -B "$HOST" >/dev/null
cmake --build "$HOST" -j"$(nproc)"
# The server's agreement test runs a program of the Windows build, so it learns where that build is.
cmake -S "$ROOT/server" -B "$SERVER" -DVEXLIN_TARGET_BUILD="$OUT" >/dev/null
cmake --build "$SERVER" -j"$(nproc)"
cmake -S "$ROOT" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" -DVEXLIN_HOST_TOOLS="$HOST" >/dev/null
cmake --build "$OUT" -j"$(nproc)"
