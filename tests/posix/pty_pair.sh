# shellcheck shell=bash
# Sourced by the native shell tests: a temporary folder $dir that goes at the
# end, with every process listed in $pids, and a socat pseudo-terminal pair
# of the test's own whose ends are $dir/a and $dir/b.
#   source pty_pair.sh NAME; start_pty_pair SOCAT
dir=$(mktemp -d "/tmp/sio-$1-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
start_pty_pair() {
  "$1" "pty,raw,echo=0,link=$dir/a" "pty,raw,echo=0,link=$dir/b" &
  pids+=($!)
  for _ in $(seq 500); do [ -e "$dir/a" ] && [ -e "$dir/b" ] && break; sleep 0.01; done
}
