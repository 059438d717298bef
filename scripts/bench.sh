#!/bin/bash
# Runs every benchmark program of the Windows build under Wine, then the score
# server's benchmark.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${TARGET_BUILD:-$ROOT/build/target}"
for exe in "$OUT"/bench/*.exe; do
  echo "== $(basename "$exe" .exe)"
  "$ROOT/scripts/wine-run" "$exe"
done
# The score server's benchmark is a host program; it starts its own servers and a private PostgreSQL.
SERVER="${SERVER_BUILD:-$ROOT/build/server}"
if [ -x "$SERVER/bench/scores_bench" ]; then
  echo "== scores_bench"
  "$SERVER/bench/scores_bench"
fi
