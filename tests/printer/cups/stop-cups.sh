#!/usr/bin/env bash
# Stops the scheduler that start-cups.sh started in STATE.
# usage: stop-cups.sh STATE
set -u
state=${1:?usage: stop-cups.sh STATE}
pidfile="$state/cupsd.pid"
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
if kill -0 "$pid" 2> /dev/null; then
    kill -TERM "$pid"
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2> /dev/null && kill -KILL "$pid"
fi
rm -f "$pidfile" "$state/server"
exit 0
