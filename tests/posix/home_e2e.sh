#!/usr/bin/env bash
# Native vantoro-home against native tmcl-sim on a socat pseudo-terminal pair
# of its own: the verdict confirms all six commands, the simulator saw six
# frames, and both exit 0. Device paths on the command lines, no COM map.
#   home_e2e.sh SOCAT TMCL_SIM VANTORO_HOME
set -euo pipefail
socat_program=$1 sim=$2 home=$3
# shellcheck source=pty_pair.sh
source "$(dirname "$0")/pty_pair.sh" e2e
start_pty_pair "$socat_program"
unset SIO_PORT_MAP
"$sim" --port "$dir/b" --frames 6 --seconds 30 >"$dir/sim.log" 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
for _ in $(seq 500); do grep -q listening "$dir/sim.log" && break; sleep 0.01; done
status=0
"$home" --port "$dir/a" --option 1 --verify >"$dir/home.log" 2>&1 || status=$?
sim_status=0
wait "$sim_pid" || sim_status=$?
tail -n 1 "$dir/home.log"
grep -q '^Result: the controller confirmed all six commands.$' "$dir/home.log" || { cat "$dir/home.log"; exit 1; }
grep -q '^stopped after 6 frame(s)$' "$dir/sim.log" || { cat "$dir/sim.log"; exit 1; }
[ "$status" -eq 0 ] && [ "$sim_status" -eq 0 ]
