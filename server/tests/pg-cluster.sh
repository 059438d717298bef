#!/bin/bash
# Starts or stops a private PostgreSQL server for the score server's tests and benchmark: a fresh cluster
# in a temporary folder, reachable only through a Unix socket in that folder (no TCP port), trusted
# local user "vexlin". PostgreSQL refuses to run as root, so as root the cluster runs as "nobody".
#   pg-cluster.sh start STATE_DIR   writes STATE_DIR/conninfo (a libpq URI for the "postgres" database)
#   pg-cluster.sh stop STATE_DIR    stops the server and removes its folder
set -euo pipefail
action="${1:-}"
state="${2:-}"
[ -n "$action" ] && [ -n "$state" ] || { echo "usage: $0 start|stop STATE_DIR" >&2; exit 2; }

bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)"
[ -x "$bin/initdb" ] || { echo "pg-cluster: no PostgreSQL server found (Debian package postgresql)" >&2; exit 1; }

as_owner=()
if [ "$(id -u)" = 0 ]; then as_owner=(setpriv --reuid=nobody --regid=nogroup --clear-groups --); fi

stop() {
  [ -f "$state/pgdir" ] || return 0
  local dir
  dir="$(cat "$state/pgdir")"
  if [ -d "$dir/data" ]; then
    (cd "$dir" && "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null 2>&1) || true
  fi
  rm -rf "$dir"
  rm -f "$state/pgdir" "$state/conninfo"
}

case "$action" in
  start)
    mkdir -p "$state"
    stop # a cluster left over by an interrupted run
    dir="$(mktemp -d -t vexlin-pg.XXXXXX)"
    chmod 755 "$dir"
    echo "$dir" > "$state/pgdir"
    [ ${#as_owner[@]} -eq 0 ] || chown nobody:nogroup "$dir"
    cd "$dir"
    if ! "${as_owner[@]}" "$bin/initdb" -D "$dir/data" -U vexlin --auth=trust -E UTF8 --locale=C.UTF-8 --no-sync \
         >"$dir/initdb.log" 2>&1; then
      cat "$dir/initdb.log" >&2; stop; exit 1
    fi
    if ! "${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
         -o "-c listen_addresses='' -k $dir -p 5432 -c max_connections=150" start >/dev/null; then
      cat "$dir/server.log" >&2; stop; exit 1
    fi
    echo "postgresql:///postgres?host=$dir&port=5432&user=vexlin" > "$state/conninfo"
    echo "pg-cluster: started in $dir"
    ;;
  stop)
    stop
    echo "pg-cluster: stopped"
    ;;
  *) echo "usage: $0 start|stop STATE_DIR" >&2; exit 2 ;;
esac
