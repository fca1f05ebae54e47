#!/usr/bin/env bash
# Stops the throwaway MariaDB started by db-start.sh for the same DIR.
# Usage: scripts/db-stop.sh [DIR]   (default: <checkout>/.db)
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DIR="${1:-$ROOT/.db}"
PIDFILE="$DIR/mysqld.pid"
[ -f "$PIDFILE" ] || { echo "No MariaDB running for $DIR"; exit 0; }
PID="$(cat "$PIDFILE")"
if kill -0 "$PID" 2>/dev/null; then
  kill "$PID"
  for _ in $(seq 1 60); do kill -0 "$PID" 2>/dev/null || break; sleep 0.5; done
  kill -0 "$PID" 2>/dev/null && kill -9 "$PID"
fi
rm -f "$PIDFILE"
echo "MariaDB stopped ($DIR)"
