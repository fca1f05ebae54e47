#!/usr/bin/env bash
# Starts a throwaway MariaDB for this checkout: its own data folder, bound to
# 127.0.0.1 on a free port, database/user/password "kelvo", schema loaded.
# The user may also create and drop databases named kelvo_t_*: each test
# process works in one of its own.
# Writes DIR/env.sh (test variables) and DIR/kelvo_tools.json (bootstrap file).
# Usage: scripts/db-start.sh [DIR]   (default: <checkout>/.db)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DIR="${1:-$ROOT/.db}"
mkdir -p "$DIR"
DIR="$(cd "$DIR" && pwd)"
SOCK="$DIR/mysqld.sock"
PIDFILE="$DIR/mysqld.pid"
DB=kelvo USER_NAME=kelvo PASS=kelvo

for tool in mariadbd mariadb-install-db mariadb mariadb-admin; do
  command -v "$tool" >/dev/null || PATH="$PATH:/usr/sbin"
done

# Rights of the test user on the test processes' own databases; granted again
# to a server that is already running, which may predate them.
grant_test_databases() {
  mariadb --no-defaults --socket="$SOCK" -uroot <<SQL
GRANT ALL PRIVILEGES ON \`kelvo\\_t\\_%\`.* TO '$USER_NAME'@'127.0.0.1';
GRANT ALL PRIVILEGES ON \`kelvo\\_t\\_%\`.* TO '$USER_NAME'@'localhost';
FLUSH PRIVILEGES;
SQL
}

if [ -f "$PIDFILE" ] && kill -0 "$(cat "$PIDFILE")" 2>/dev/null && [ -f "$DIR/env.sh" ]; then
  grant_test_databases
  echo "MariaDB already running for $DIR (pid $(cat "$PIDFILE"))"
  exit 0
fi

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
ping_server() { mariadb-admin --no-defaults --socket="$SOCK" -uroot ping >/dev/null 2>&1; }
# Another server started at the same time may take the free port between the
# test and the bind: then the next free one is tried.
port_taken() { grep -q "Address already in use" "$DIR/error.log" 2>/dev/null; }

rm -rf "$DIR/data"
mariadb-install-db --no-defaults --user=root --datadir="$DIR/data" \
  --auth-root-authentication-method=socket --skip-test-db >"$DIR/install.log" 2>&1 \
  || { echo "db-start: mariadb-install-db failed, see $DIR/install.log" >&2; exit 1; }

FROM=33306
for _attempt in 1 2 3 4 5; do
  PORT=""
  for p in $(seq "$FROM" 33406); do
    if port_free "$p"; then PORT=$p; break; fi
  done
  [ -n "$PORT" ] || { echo "db-start: no free port in $FROM-33406" >&2; exit 1; }
  : >"$DIR/error.log"
  setsid mariadbd --no-defaults --user=root --datadir="$DIR/data" \
    --port="$PORT" --bind-address=127.0.0.1 --socket="$SOCK" --pid-file="$PIDFILE" \
    --log-error="$DIR/error.log" --skip-name-resolve --innodb-buffer-pool-size=64M \
    --innodb-flush-log-at-trx-commit=2 </dev/null >/dev/null 2>&1 &
  for _ in $(seq 1 120); do
    ping_server && break
    port_taken && break
    sleep 0.5
  done
  ping_server && break
  port_taken || break
  FROM=$((PORT + 1))
done
ping_server || { echo "db-start: server did not start, see $DIR/error.log" >&2; exit 1; }

mariadb --no-defaults --socket="$SOCK" -uroot <<SQL
CREATE DATABASE $DB CHARACTER SET utf8mb4;
CREATE USER '$USER_NAME'@'127.0.0.1' IDENTIFIED BY '$PASS';
CREATE USER '$USER_NAME'@'localhost' IDENTIFIED BY '$PASS';
GRANT ALL PRIVILEGES ON $DB.* TO '$USER_NAME'@'127.0.0.1';
GRANT ALL PRIVILEGES ON $DB.* TO '$USER_NAME'@'localhost';
FLUSH PRIVILEGES;
SQL
grant_test_databases
mariadb --no-defaults --socket="$SOCK" -uroot "$DB" <"$ROOT/scripts/schema.sql"

cat >"$DIR/kelvo_tools.json" <<JSON
{
    "config": {
        "database": {
            "server": "127.0.0.1",
            "port": $PORT,
            "database": "$DB",
            "username": "$USER_NAME",
            "password": "$PASS"
        }
    }
}
JSON

cat >"$DIR/env.sh" <<ENV
export KELVO_TEST_DB_HOST=127.0.0.1
export KELVO_TEST_DB_PORT=$PORT
export KELVO_TEST_DB_USER=$USER_NAME
export KELVO_TEST_DB_PASSWORD=$PASS
export KELVO_TEST_DB_NAME=$DB
export KELVO_TEST_DB_SOCKET=$SOCK
export KELVO_TEST_CONFIG=$DIR/kelvo_tools.json
ENV
echo "MariaDB started on 127.0.0.1:$PORT (data in $DIR); source $DIR/env.sh"
