#!/usr/bin/env bash
# A PostgreSQL server of Debian's package for the site tests and benchmarks, in a folder of its
# own: its data, its Unix socket and a file "env" the tests read (PGHOST, PGPORT, PGUSER).
#
#   scripts/pg-test-server.sh start DIR    makes the server when DIR has none, then starts it
#   scripts/pg-test-server.sh stop DIR     stops it (fast shutdown)
#   scripts/pg-test-server.sh kill DIR     kills it and every backend with SIGKILL, as a crash would
#
# PostgreSQL will not run as root: as root the server runs as the unprivileged user
# velmoor-pgtest (made when missing). It listens on its socket in DIR and on 127.0.0.1 (a free
# port), where logins need a password (scram-sha-256) and TLS is off; on the socket the
# superuser "postgres" logs in without one.
set -euo pipefail
cmd=${1:?start, stop or kill}
dir=${2:?the server folder}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL's server is not installed (Debian package postgresql)" >&2; exit 1; }

as_server() {
  if [ "$(id -u)" = 0 ]; then runuser -u velmoor-pgtest -- "$@"; else "$@"; fi
}

case "$cmd" in
start)
  if [ "$(id -u)" = 0 ]; then
    id velmoor-pgtest >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin velmoor-pgtest
    chown velmoor-pgtest "$dir"
    chmod 755 "$dir"
  fi
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    as_server "$bin/initdb" -D "$dir/data" -U postgres -E UTF8 --no-locale --auth-local=trust \
      --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    cat >>"$dir/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
max_connections = 100
fsync = off
ssl = off
EOF
    printf 'PGHOST=%s\nPGPORT=%s\nPGUSER=postgres\n' "$dir" "$port" >"$dir/env"
  fi
  if ! as_server "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null ||
      { tail -20 "$dir/server.log" >&2; exit 1; }
  fi
  ;;
stop)
  [ -f "$dir/data/PG_VERSION" ] || exit 0
  as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  ;;
kill)
  pid=$(head -1 "$dir/data/postmaster.pid" 2>/dev/null || true)
  [ -n "$pid" ] || exit 0
  kids=$(pgrep -P "$pid" || true)
  kill -9 "$pid" $kids 2>/dev/null || true
  for _ in $(seq 100); do
    alive=0
    for p in $pid $kids; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ $alive = 0 ] && break
    sleep 0.05
  done
  ;;
*)
  echo "usage: $0 start|stop|kill DIR" >&2
  exit 2
  ;;
esac
