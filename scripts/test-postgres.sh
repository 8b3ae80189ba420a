#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the integration tests.
#   eval "$(bash scripts/test-postgres.sh start)"   # prints "export VN_TEST_PG=..." and "export VN_TEST_PG_DIR=..."
#   bash scripts/test-postgres.sh stop "$VN_TEST_PG_DIR"
set -euo pipefail

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[[ -n "$bin" ]] || { echo "PostgreSQL server binaries not found" >&2; exit 1; }

as_owner() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

case "${1:-}" in
start)
  dir=$(mktemp -d /tmp/vn-test-pg.XXXXXX)
  [[ $(id -u) -eq 0 ]] && chown postgres: "$dir"
  port=${VN_TEST_PG_PORT:-$(free_port)}
  as_owner "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >/dev/null
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null
  as_owner "$bin/createdb" -h 127.0.0.1 -p "$port" -U postgres vntest
  echo "export VN_TEST_PG='host=127.0.0.1 port=$port user=postgres dbname=vntest'"
  echo "export VN_TEST_PG_DIR='$dir'"
  ;;
stop)
  dir=${2:?folder of the cluster}
  as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
  ;;
*)
  echo "usage: $0 start | stop FOLDER" >&2
  exit 2
  ;;
esac
