#!/bin/bash
# `make run`: builds the game and starts it under Wine in the build tree's
# private prefix. On the user's display it plays until the window is closed,
# with sound through Wine's usual audio output. Without a display it runs on
# a private Xvfb for a few seconds and leaves a screenshot in build/run/.
# The local score server (the game's default address) runs alongside when the
# tree has its script.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"
GAME="$ROOT/build/target/game/app/vexlin.exe"
[ -f "$GAME" ] || { echo "run: $GAME was not built" >&2; exit 1; }

SERVER="$ROOT/scripts/score-server.sh"
if [ -x "$SERVER" ]; then
  "$SERVER" start
  trap '"$SERVER" stop' EXIT
else
  echo "run: no score server in this tree; posting scores will find nobody at the game's address"
fi

if [ -n "${DISPLAY:-}" ]; then
  "$ROOT/scripts/with-display" wine "$GAME"
  exit 0
fi

# No display: a few seconds on a private one, then a picture of the screen.
SHOT_DIR="$ROOT/build/run"
mkdir -p "$SHOT_DIR"
SECONDS_TO_PLAY="${VEXLIN_RUN_SECONDS:-6}"
export GAME SHOT_DIR SECONDS_TO_PLAY
"$ROOT/scripts/with-display" bash -c '
  wine "$GAME" &
  sleep "$SECONDS_TO_PLAY"
  import -window root "$SHOT_DIR/screenshot.png"
  wineserver -k || true
  wait || true
'
echo "run: no display, so the game ran on a private one for ${SECONDS_TO_PLAY} s; screenshot in $SHOT_DIR/screenshot.png"
