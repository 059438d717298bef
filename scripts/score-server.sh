#!/bin/bash
# The score server for a local game: listens on 127.0.0.1 port 8642 (the address the game's build posts
# to) with its SQLite database in build/scores/.
#   score-server.sh [run] [server options]   runs it in the foreground until Ctrl+C
#   score-server.sh start [server options]   starts it in the background and waits until it answers
#                                            (log in build/scores/server.log)
#   score-server.sh stop                     stops the one that "start" started
# VEXLIN_SCORES_DATABASE (a file, or a postgresql:// address) and the other VEXLIN_SCORES_* variables of
# `vexlin-scores --help` change the defaults.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SERVER_BUILD="${SERVER_BUILD:-$ROOT/build/server}"
BIN="$SERVER_BUILD/vexlin-scores"
STATE="$ROOT/build/scores"
PIDFILE="$STATE/server.pid"
LISTEN="${VEXLIN_SCORES_LISTEN:-127.0.0.1}"
PORT="${VEXLIN_SCORES_PORT:-8642}"
export VEXLIN_SCORES_DATABASE="${VEXLIN_SCORES_DATABASE:-$STATE/vexlin-scores.db}"

action="run"
case "${1:-}" in run|start|stop) action="$1"; shift ;; esac

answers() {
  # A score server answers its health path on the address.
  (exec 3<>"/dev/tcp/$LISTEN/$PORT" && printf 'GET /health HTTP/1.0\r\n\r\n' >&3 && head -n1 <&3 | grep -q " 200 ") \
    2>/dev/null
}

if [ "$action" = stop ]; then
  if [ -f "$PIDFILE" ] && kill -0 "$(cat "$PIDFILE")" 2>/dev/null; then
    kill "$(cat "$PIDFILE")"
    for _ in $(seq 50); do kill -0 "$(cat "$PIDFILE")" 2>/dev/null || break; sleep 0.1; done
    echo "score-server: stopped"
  fi
  rm -f "$PIDFILE"
  exit 0
fi

if [ ! -x "$BIN" ]; then
  cmake -S "$ROOT/server" -B "$SERVER_BUILD" >/dev/null
  cmake --build "$SERVER_BUILD" -j2 --target vexlin-scores >/dev/null
fi
mkdir -p "$STATE"

if [ "$action" = run ]; then
  exec "$BIN" --listen "$LISTEN" --port "$PORT" "$@"
fi

if answers; then
  echo "score-server: a score server already answers on http://$LISTEN:$PORT"
  exit 0
fi
"$BIN" --listen "$LISTEN" --port "$PORT" "$@" >>"$STATE/server.log" 2>&1 </dev/null &
echo $! > "$PIDFILE"
for _ in $(seq 100); do
  if answers; then
    echo "score-server: http://$LISTEN:$PORT/vexlin/scores-en.html (database $VEXLIN_SCORES_DATABASE, log $STATE/server.log)"
    exit 0
  fi
  kill -0 "$(cat "$PIDFILE")" 2>/dev/null || break
  sleep 0.1
done
echo "score-server: the server did not start; see $STATE/server.log" >&2
tail -n 5 "$STATE/server.log" >&2 || true
exit 1
