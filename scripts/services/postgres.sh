#!/usr/bin/env bash
# Starts or stops a PostgreSQL 15 server for the tests: its cluster lives in
# DIR (made for the purpose), it listens on 127.0.0.1:PORT only and keeps its
# socket in DIR. initdb refuses to run as root, so the server runs as the
# unprivileged user "nobody" when this script is started as root.
#   postgres.sh start DIR PORT    initdb (WIN1252, C locale), start, create
#                                 the role "kv" (password "kvsecret") and the
#                                 database "kvtest"
#   postgres.sh stop DIR [MODE] [remove]
#                                 pg_ctl stop (MODE fast by default); with
#                                 "remove" the cluster's folder goes too
set -euo pipefail
action=${1:?start or stop}
dir=${2:?directory}
bin=/usr/lib/postgresql/15/bin
for tool in initdb pg_ctl postgres; do
  if [ ! -x "$bin/$tool" ]; then
    echo "postgres.sh: $bin/$tool is missing (install postgresql-15: bash scripts/install-deps.sh)" >&2
    exit 1
  fi
done
if [ "$(id -u)" -eq 0 ]; then as_server=(runuser -u nobody --); else as_server=(); fi

case "$action" in
  start)
    port=${3:?port}
    # A server left over from an earlier run in the same place goes first.
    if [ -f "$dir/data/postmaster.pid" ]; then
      "${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    printf 'kvsecret\n' >"$dir/password"
    if [ "$(id -u)" -eq 0 ]; then chown -R nobody "$dir"; fi
    "${as_server[@]}" "$bin/initdb" -D "$dir/data" -E WIN1252 --locale=C -U kv \
      --pwfile="$dir/password" --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    "${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir" start >/dev/null ||
      { cat "$dir/server.log" >&2; exit 1; }
    "${as_server[@]}" /usr/bin/psql -h "$dir" -p "$port" -U kv -d postgres -qAt \
      -c "CREATE DATABASE kvtest ENCODING 'WIN1252' TEMPLATE template0" >/dev/null
    echo "postgres.sh: server on 127.0.0.1:$port in $dir"
    ;;
  stop)
    mode=${3:-fast}
    status=0
    if [ -f "$dir/data/postmaster.pid" ]; then
      "${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -m "$mode" -w stop >/dev/null || status=$?
    fi
    if [ "${4:-}" = remove ] && [ "$status" -eq 0 ]; then rm -rf "$dir"; fi
    exit "$status"
    ;;
  *)
    echo "usage: postgres.sh start DIR PORT | stop DIR [MODE]" >&2
    exit 2
    ;;
esac
