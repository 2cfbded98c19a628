# shellcheck shell=bash
# Shared part of the end-to-end scripts: arguments, starting the tool and
# the simulated controller inside the test environment, driving the tool,
# screenshots, and a cleanup that ends only what the script started.
#   e2e_X.sh TESTENV ROOT VANTORO_EXE DRIVE_EXE SIM_EXE ARTIFACT_DIR
# A script that needs lines of its own sets E2E_PAIRS and E2E_ROOT_SUFFIX
# before sourcing this: it then gets an environment beside the shared one.
set -euo pipefail
testenv=$1 root=$2${E2E_ROOT_SUFFIX:-} vantoro=$(realpath -m "$3") drive=$(realpath -m "$4") sim=$(realpath -m "$5") artifacts=$6
mkdir -p "$artifacts"
scenario=$(basename "$0" .sh)
log=$artifacts/$scenario.log
: >"$log"

env_run() { "$testenv" --root "$root" run "$@"; }

tool_pid="" sim_pid=""
cleanup() {
  # Ending the wrapper leaves the Windows process running inside the
  # environment, so the tool is asked to end by its own name there.
  if [ -n "$tool_pid" ] && kill -0 "$tool_pid" 2>/dev/null; then
    env_run taskkill.exe /F /IM "$(basename "$vantoro")" >>"$log" 2>&1 || true
  fi
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    env_run taskkill.exe /F /IM "$(basename "$sim")" >>"$log" 2>&1 || true
  fi
  wait 2>/dev/null || true
}
trap cleanup EXIT

"$testenv" --root "$root" ${E2E_PAIRS:+--pairs "$E2E_PAIRS"} up >>"$log" 2>&1
display=$(cat "$root/display")

start_tool() {
  env_run "$vantoro" >>"$log" 2>&1 &
  tool_pid=$!
}

# The simulated controller on a COM name: it answers every frame and ends
# after the six of one home sequence.
sim_log=$artifacts/$scenario.sim.log
start_sim() {
  : >"$sim_log"
  env_run "$sim" --port "$1" --frames 6 --seconds 60 >"$sim_log" 2>&1 &
  sim_pid=$!
  # Frames sent before it has opened its port could be flushed away.
  local deadline=$((SECONDS + 20))
  until grep -q '^listening on' "$sim_log"; do
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator ended at start: $(cat "$sim_log")"
    [ "$SECONDS" -lt "$deadline" ] || fail "the simulator did not start listening"
    sleep 0.1
  done
}

# Home_Option1's frames as the simulator names them in its log (the bytes
# behind each name are checked against their table by the protocol's tests).
option1_frames='F1a F2 F3 F4 F5 F6'

# Waits for the simulated controller to end; true when it ended well after
# taking exactly the frames of Home_Option1 and answering each.
sim_got_option1() {
  local status=0
  wait "$sim_pid" || status=$?
  sim_pid=""
  [ "$status" = 0 ] || { echo "simulator status $status" | tee -a "$log"; return 1; }
  local frames replies
  frames=$(tr -d '\r' <"$sim_log" | sed -n 's/^frame [0-9]* at [0-9.]* ms: .*| home frame \([0-9A-Fa-f]*\)$/\1/p' | paste -sd ' ')
  replies=$(grep -c '^  reply: ' "$sim_log" || true)
  if [ "$frames" != "$option1_frames" ] || [ "$replies" != 6 ]; then
    echo "simulator saw:" | tee -a "$log"
    tee -a "$log" <"$sim_log"
    return 1
  fi
}

drive() {
  echo "drive $*" >>"$log"
  env_run "$drive" "$@" | tee -a "$log"
  return "${PIPESTATUS[0]}"
}

# Screenshot of the whole private display.
screenshot() { DISPLAY=$display import -window root "$1"; }

# The tool's client area in screen pixels, as WxH+X+Y.
client_rect() { drive rect | sed -n 's/^client \([0-9x+-]*\).*/\1/p' | tr -d '\r'; }

# Fraction of dark (text) pixels in a region of a screenshot.
dark_fraction() {
  convert "$1" -crop "$2" +repage -colorspace Gray -negate -threshold 50% -format "%[fx:mean]" info:
}

fail() { echo "FAIL $scenario: $*" | tee -a "$log"; exit 1; }
