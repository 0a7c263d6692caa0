#!/usr/bin/env bash
# Starts or stops a throwaway PostgreSQL cluster for the tests.
#   pg-throwaway.sh start DIR   -> prints a connection string on stdout
#   pg-throwaway.sh stop DIR
#   pg-throwaway.sh halt DIR      -> stops the server, keeping its cluster (tests of an outage)
#   pg-throwaway.sh restart DIR   -> (re)starts it on the same port and folder
# As root the cluster runs as the postgres user; otherwise as the caller.
set -euo pipefail
cmd=$1 dir=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$cmd" in
  start)
    mkdir -p "$dir"
    if [[ $(id -u) -eq 0 ]]; then chown postgres: "$dir"; fi
    chmod 700 "$dir"
    as_owner "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    port=""
    for _ in $(seq 1 50); do
      p=$((20000 + RANDOM % 20000))
      if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
    done
    [[ -n "$port" ]] || { echo "no free port" >&2; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
      start >/dev/null
    echo "host=127.0.0.1 port=$port user=postgres dbname=postgres"
    ;;
  halt)
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
  restart)
    # Without -o, pg_ctl starts with the options of the last start (postmaster.opts).
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w -t 60 restart >/dev/null 2>&1
    ;;
  stop)
    if [[ -d "$dir/data" ]]; then
      as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
  *) echo "usage: $0 start|stop|halt|restart DIR" >&2; exit 2 ;;
esac
