#!/usr/bin/env bash
# Reruns kelvo_tools over many awbexport rows through GNU parallel: job slots
# on this machine, or on the hosts of an --sshloginfile that mount the same
# base data folder and reach the same database (the binary and the bootstrap
# file at the same paths there). One job per row; a joblog, so that the same
# call with --resume-failed reruns only the rows that failed; a summary by
# exit status at the end. See docs/command-line.md.
#
# Installed as kelvo_reprocess (cmake/Install.cmake), with its version filled
# in. Exit status: 0 when every row's last run exited 0; 1 otherwise, or when
# the call is refused (one line on standard error).
set -euo pipefail

VERSION='@PROJECT_VERSION@'
case "$VERSION" in @*) VERSION="(not installed: the checkout's script)" ;; esac

usage() {
  cat <<'USAGE'
usage: kelvo_reprocess [--sid SID] [--ids A-B] [--jobs N]
                       [--sshloginfile FILE] [--joblog FILE] [--resume-failed]
                       [--bin PATH] [--config FILE] -- TOOL-OPTIONS...
       kelvo_reprocess --help | --version
Reruns kelvo_tools over the awbexport rows chosen by --sid and/or --ids, one
job per row through GNU parallel, and prints a summary by exit status.
  --sid SID           the rows of one session
  --ids A-B           the rows whose ID lies from A to B
  --jobs N            job slots (1-999; default: one per core)
  --sshloginfile FILE run the jobs on the hosts listed there
  --joblog FILE       the joblog (default ./reprocess.joblog); outputs in FILE.d/<ID>/
  --resume-failed     rerun only the rows whose last run failed
  --bin PATH          the tool (default: kelvo_tools on PATH)
  --config FILE       the bootstrap file (default ./kelvo_tools.json, else the
                      installed /etc/kelvo-tools/kelvo_tools.json, as for the tool)
Exit status: 0 when every row's last run exited 0; 1 otherwise.
USAGE
}

refuse() {
  echo "reprocess: $*" >&2
  exit 1
}

SID="" SID_GIVEN=0 IDS="" JOBS="" LOGINS="" JOBLOG="reprocess.joblog" RESUME=0
BIN="${KELVO_TOOLS_BIN:-}" CONFIG=""
TOOL_OPTS=()
SEPARATED=0
while [ $# -gt 0 ]; do
  case "$1" in
    --sid) [ $# -ge 2 ] || refuse "--sid needs a session id"; SID="$2"; SID_GIVEN=1; shift 2 ;;
    --ids) [ $# -ge 2 ] || refuse "--ids needs a range A-B"; IDS="$2"; shift 2 ;;
    --jobs) [ $# -ge 2 ] || refuse "--jobs needs a number"; JOBS="$2"; shift 2 ;;
    --sshloginfile) [ $# -ge 2 ] || refuse "--sshloginfile needs a file"; LOGINS="$2"; shift 2 ;;
    --joblog) [ $# -ge 2 ] || refuse "--joblog needs a file"; JOBLOG="$2"; shift 2 ;;
    --resume-failed) RESUME=1; shift ;;
    --bin) [ $# -ge 2 ] || refuse "--bin needs a path"; BIN="$2"; shift 2 ;;
    --config) [ $# -ge 2 ] || refuse "--config needs a file"; CONFIG="$2"; shift 2 ;;
    --help | -h) usage; exit 0 ;;
    --version) echo "kelvo_reprocess $VERSION"; exit 0 ;;
    --) shift; TOOL_OPTS=("$@"); SEPARATED=1; break ;;
    *) refuse "unknown option '$1' (tool options go after --)" ;;
  esac
done

[ "$SEPARATED" = 1 ] && [ ${#TOOL_OPTS[@]} -gt 0 ] \
  || refuse "no tool options: give the operation after --, e.g. -- -d 3 -z"
for opt in "${TOOL_OPTS[@]}"; do
  case "$opt" in
    -i* | --index* | -c* | --config* | -s* | --session_id* | -n* | --internal_index*)
      refuse "tool option '$opt': the rows and the bootstrap file are the script's own (--sid, --ids, --config)" ;;
  esac
done
case "$JOBS" in
  "" | [1-9] | [1-9][0-9] | [1-9][0-9][0-9]) ;;
  *) refuse "--jobs '$JOBS' is not a number of job slots (1-999)" ;;
esac
if [ -n "$LOGINS" ]; then
  [ -r "$LOGINS" ] || refuse "cannot read --sshloginfile '$LOGINS'"
fi

command -v parallel >/dev/null || refuse "GNU parallel is not installed (Debian package parallel)"
command -v jq >/dev/null || refuse "jq is not installed (Debian package jq)"

# The jobs may run in other folders and on other hosts: every path they are
# given is absolute.
[ -n "$BIN" ] || BIN="$(command -v kelvo_tools || true)"
[ -n "$BIN" ] || refuse "no kelvo_tools binary: give --bin or put it on PATH"
case "$BIN" in /*) ;; *) BIN="$(cd "$(dirname "$BIN")" 2>/dev/null && pwd)/$(basename "$BIN")" ;; esac
[ -n "$LOGINS" ] || [ -x "$BIN" ] || refuse "binary '$BIN' is not executable"
if [ -z "$CONFIG" ]; then
  # The tool's own places, in its order.
  CONFIG=kelvo_tools.json
  [ -e "$CONFIG" ] || CONFIG=/etc/kelvo-tools/kelvo_tools.json
  [ -e "$CONFIG" ] || refuse "File not found './kelvo_tools.json' or '/etc/kelvo-tools/kelvo_tools.json'"
fi
[ -r "$CONFIG" ] || refuse "cannot read bootstrap file '$CONFIG'"
CONFIG="$(cd "$(dirname "$CONFIG")" && pwd)/$(basename "$CONFIG")"

JOBLOG="$(cd "$(dirname "$JOBLOG")" 2>/dev/null && pwd)/$(basename "$JOBLOG")" \
  || refuse "no folder for joblog '$JOBLOG'"
# Beside the joblog: the selected rows (line k is job k), the command they
# ran, each row's output in <ID>/stdout and <ID>/stderr.
OUT="$JOBLOG.d"
mkdir -p "$OUT"
exec 9>"$OUT/lock"
flock -n 9 || refuse "another call is using joblog '$JOBLOG'"

# The command that every job runs, as one comparable line.
COMMAND_LINE="$(printf '%q ' "$BIN" -c "$CONFIG" -i '{}' "${TOOL_OPTS[@]}")"

select_rows() {
  local where=()
  if [ "$SID_GIVEN" = 1 ]; then
    [ -n "$SID" ] || refuse "--sid is empty"
    # Given as bytes in hexadecimal, so no text of the id can end the literal.
    local hex
    hex="$(printf '%s' "$SID" | od -An -tx1 -v | tr -d ' \n')"
    where+=("sid = CONVERT(X'$hex' USING utf8mb4)")
  fi
  if [ -n "$IDS" ]; then
    [[ "$IDS" =~ ^([0-9]{1,10})-([0-9]{1,10})$ ]] || refuse "--ids '$IDS' is not a range A-B"
    local first=$((10#${BASH_REMATCH[1]})) last=$((10#${BASH_REMATCH[2]}))
    [ "$first" -ge 1 ] && [ "$first" -le "$last" ] && [ "$last" -le 2147483647 ] \
      || refuse "--ids '$IDS': need 1 <= A <= B <= 2147483647"
    where+=("ID BETWEEN $first AND $last")
  fi
  [ ${#where[@]} -gt 0 ] || refuse "no rows chosen: give --sid and/or --ids"

  local db server port user password
  for member in server port database username password; do
    jq -e ".config.database.$member" "$CONFIG" >/dev/null 2>&1 \
      || refuse "bootstrap file '$CONFIG' has no config.database.$member"
  done
  server="$(jq -r .config.database.server "$CONFIG")"
  port="$(jq -r .config.database.port "$CONFIG")"
  db="$(jq -r .config.database.database "$CONFIG")"
  user="$(jq -r .config.database.username "$CONFIG")"
  password="$(jq -r .config.database.password "$CONFIG")"

  # The password goes through a file only this user reads, never the command line.
  defaults="$(mktemp)"
  trap 'rm -f "$defaults"' EXIT
  chmod 600 "$defaults"
  esc() { local v="${1//\\/\\\\}"; printf '"%s"' "${v//\"/\\\"}"; }
  {
    echo "[client]"
    echo "host=$(esc "$server")"
    echo "port=$port"
    echo "user=$(esc "$user")"
    echo "password=$(esc "$password")"
  } >"$defaults"
  local client
  client="$(command -v mariadb || command -v mysql || true)"
  [ -n "$client" ] || refuse "no database client (Debian package mariadb-client)"
  local query="SELECT ID FROM awbexport WHERE ${where[0]}"
  [ ${#where[@]} -lt 2 ] || query+=" AND ${where[1]}"
  "$client" --defaults-file="$defaults" --protocol=TCP -N -B -D "$db" \
    -e "$query ORDER BY ID" >"$OUT/rows.new" \
    || refuse "the row query failed on database '$db' at $server:$port"
}

if [ "$RESUME" = 1 ]; then
  # parallel matches jobs by their number in the joblog: the rows and the
  # command must be those of the first call, whatever the table holds now.
  [ -s "$JOBLOG" ] && [ -s "$OUT/rows" ] && [ -f "$OUT/command" ] \
    || refuse "nothing to resume: no joblog '$JOBLOG' from an earlier call"
  [ "$(cat "$OUT/command")" = "$COMMAND_LINE" ] \
    || refuse "--resume-failed needs the binary, bootstrap file and tool options of the first call: $(cat "$OUT/command")"
else
  select_rows
  [ -s "$OUT/rows.new" ] || { rm -f "$OUT/rows.new"; refuse "no awbexport row matches the selection"; }
  # Earlier outputs would pass for this call's.
  find "$OUT" -mindepth 1 -maxdepth 1 -type d -regex '.*/[0-9]+' -exec rm -rf {} +
  rm -f "$JOBLOG"
  mv "$OUT/rows.new" "$OUT/rows"
  printf '%s' "$COMMAND_LINE" >"$OUT/command"
fi

ROWS=$(wc -l <"$OUT/rows")
echo "reprocess: $ROWS rows, joblog $JOBLOG, outputs in $OUT/<ID>/"

ARGS=(--joblog "$JOBLOG" --results "$OUT/{}/" --quote)
[ "$RESUME" = 0 ] || ARGS+=(--resume-failed)
[ -z "$JOBS" ] || ARGS+=(--jobs "$JOBS")
[ -z "$LOGINS" ] || ARGS+=(--sshloginfile "$LOGINS")
status=0
# The lock stays with this script; the jobs need not hold it.
parallel "${ARGS[@]}" "$BIN" -c "$CONFIG" -i '{}' "${TOOL_OPTS[@]}" :::: "$OUT/rows" </dev/null 9>&- \
  || status=$?
# 1-101: that many jobs failed (101: more than 100); the summary counts them.
[ "$status" -le 101 ] || refuse "parallel failed (status $status); see its message above"

# The last run of each job counts: a resumed call appends its reruns. Every
# run of the tool prints to standard output, so a job that exited 0 with
# nothing there never ran it (a remote shell that could not start the
# command can still report 0).
failed=0
summary="$(awk -F'\t' -v rows="$OUT/rows" -v out="$OUT" '
  BEGIN { n = 0; while ((getline id < rows) > 0) { n++; row[n] = id } }
  NR > 1 && $1 ~ /^[0-9]+$/ { last[$1] = ($8 != 0) ? "signal " $8 : "exit " $7 }
  END {
    bad = 0
    for (k = 1; k <= n; k++) {
      s = (k in last) ? last[k] : "not run"
      if (s == "exit 0") {
        stdout = out "/" row[k] "/stdout"
        if ((getline line < stdout) <= 0) s = "no output"
        close(stdout)
      }
      count[s]++
      if (s != "exit 0") { ids[s] = ids[s] " " row[k]; bad = 1 }
    }
    for (s in count) {
      printf "%s: %d row%s%s\n", s, count[s], count[s] == 1 ? "" : "s", (s in ids) ? ":" ids[s] : ""
    }
    exit bad
  }' "$JOBLOG")" || failed=1
printf '%s\n' "$summary" | sort
exit "$failed"
