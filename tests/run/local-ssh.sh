#!/usr/bin/env bash
# Stands in for ssh in the reprocess test: drops ssh's options and the host
# name and runs the remote command here, so that the path through
# --sshloginfile (quoting, output brought back, joblog host) runs without a
# second machine.
while [ $# -gt 0 ]; do
  case "$1" in
    -o | -p | -l | -i | -S) shift 2 ;;
    --) shift; break ;;
    -*) shift ;;
    *) shift; [ "${1-}" = "--" ] && shift; break ;;
  esac
done
# sshd gives the remote command the user's login shell in SHELL, and GNU
# parallel's remote side starts the job with it.
SHELL="$(getent passwd "$(id -u)" | cut -d: -f7)"
export SHELL="${SHELL:-/bin/sh}"
exec bash -c "$*"
