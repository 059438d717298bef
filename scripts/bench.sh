#!/bin/bash
# Runs every benchmark program of the Windows build under Wine.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${TARGET_BUILD:-$ROOT/build/target}"
for exe in "$OUT"/bench/*.exe; do
  echo "== $(basename "$exe" .exe)"
  "$ROOT/scripts/wine-run" "$exe"
done
