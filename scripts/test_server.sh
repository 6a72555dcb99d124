#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests, in a folder of its own,
# reached only through a Unix socket in that folder (no TCP port).
#
#   scripts/test_server.sh start DIR   makes DIR, starts the server there and
#                                      prints the connection string for
#                                      TALVOR_TEST_SERVER
#   scripts/test_server.sh stop DIR    stops it and removes DIR
#   scripts/test_server.sh halt DIR    stops it at once, as a crash of the
#                                      server would (pg_ctl -m immediate),
#                                      keeping DIR: `start DIR` starts it again
#
# Run as root, the server runs under the `postgres` system account (it will
# not run as root); otherwise under the user who runs the script.
set -euo pipefail

cmd="${1:-}"
dir="${2:-}"
if [ -z "$cmd" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop|halt DIR" >&2
  exit 2
fi

bindir="$(pg_config --bindir 2>/dev/null || true)"
if [ ! -x "$bindir/initdb" ]; then
  # pg_config (libpq-dev) may name the client's folder: take the server's.
  bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
fi
if [ ! -x "$bindir/initdb" ]; then
  echo "PostgreSQL's initdb was not found: install the postgresql package" >&2
  exit 1
fi

as_owner() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$cmd" in
start)
  mkdir -p "$dir"
  dir="$(cd "$dir" && pwd)"
  if [ "$(id -u)" = 0 ]; then
    chown postgres: "$dir"
    owner=postgres
  else
    owner="$(id -un)"
  fi
  chmod 700 "$dir"
  # A server halted earlier starts again on its own data.
  if [ ! -d "$dir/data" ]; then
    # C collation and UTF-8: byte order for the texts, as the program sorts.
    as_owner "$bindir/initdb" -D "$dir/data" -U "$owner" -E UTF8 --locale=C --auth=trust >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2
      exit 1
    }
  fi
  # Enough connections for the tests that run at once (each test opens a
  # few), no TCP, and fsync off: a throw-away server need not survive a crash
  # of the machine (a crash of the server itself is still safe).
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c max_connections=300 -c fsync=off -c full_page_writes=off -c synchronous_commit=off" \
    start >/dev/null || {
    cat "$dir/server.log" >&2
    exit 1
  }
  echo "host=$dir port=5432 dbname=postgres user=$owner"
  ;;
stop)
  if [ -d "$dir/data" ]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
halt)
  as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null
  ;;
*)
  echo "usage: $0 start|stop|halt DIR" >&2
  exit 2
  ;;
esac
