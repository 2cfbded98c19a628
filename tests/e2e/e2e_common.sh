# Shared part of the end-to-end scripts: arguments, starting the tool and
# the simulated controller inside the test environment, driving the tool,
# screenshots, and a cleanup that ends only what the script started.
#   e2e_X.sh TESTENV ROOT VANTORO_EXE DRIVE_EXE SIM_EXE ARTIFACT_DIR
set -euo pipefail
testenv=$1 root=$2 vantoro=$(realpath -m "$3") drive=$(realpath -m "$4") sim=$(realpath -m "$5") artifacts=$6
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

"$testenv" --root "$root" up >>"$log" 2>&1
display=$(cat "$root/display")

start_tool() {
  env_run "$vantoro" >>"$log" 2>&1 &
  tool_pid=$!
}

# The simulated controller on a COM name, answering each frame it takes.
start_sim() {
  env_run "$sim" "$@" >>"$artifacts/$scenario.sim.log" 2>&1 &
  sim_pid=$!
}

# Waits for the simulated controller to end and returns its status.
sim_result() {
  local status=0
  wait "$sim_pid" || status=$?
  sim_pid=""
  return "$status"
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
