#!/usr/bin/env bash
# A PostgreSQL server of its own for a test run:
#   pgserver.sh start DIR PORT   a new cluster in DIR, listening only on the unix
#                                socket DIR/.s.PGSQL.PORT, with the database saldina
#   pgserver.sh stop DIR         stops it and removes DIR
# Started as root, the server runs as the system user postgres (it refuses to
# run as root); started by anyone else, as that user.
set -euo pipefail

bindir="$(pg_config --bindir)"

as_server() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

stop_server() {
  local dir="$1"
  if [ -f "$dir/data/postmaster.pid" ]; then
    # A server left by a killed run goes at once; a dead one leaves only its files.
    (cd "$dir" && as_server "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1) || true
  fi
  rm -rf "$dir"
}

case "${1:-}" in
start)
  dir="$2" port="$3"
  stop_server "$dir"
  if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin postgres
  fi
  mkdir -p "$dir"
  chmod 755 "$dir"
  [ "$(id -u)" -ne 0 ] || chown postgres: "$dir"
  cd "$dir"
  as_server "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust --encoding=UTF8 --locale=C --no-sync \
    >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  # A test server: nothing outlives it, so nothing is flushed to disk.
  cat >>"$dir/data/postgresql.conf" <<EOF
listen_addresses = ''
unix_socket_directories = '$dir'
port = $port
fsync = off
synchronous_commit = off
full_page_writes = off
EOF
  as_server "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
  as_server "$bindir/createdb" -h "$dir" -p "$port" -U postgres saldina
  echo "host=$dir port=$port dbname=saldina user=postgres"
  ;;
stop)
  stop_server "$2"
  ;;
*)
  echo "usage: $0 start DIR PORT | stop DIR" >&2
  exit 2
  ;;
esac
