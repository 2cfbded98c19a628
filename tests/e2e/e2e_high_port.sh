#!/usr/bin/env bash
# A port above COM12: the virtual line COM14 <-> COM15, in an environment of
# its own so that the shared one keeps its lines. The tool is given COM14 by
# the command of its Port item (menus cannot be read from another process
# here; the in-process window tests check the item itself), goes on-line
# with COM14 in its title, and Home_Option1 reaches the simulated controller
# on COM15. The environment is taken down at the end.
export E2E_PAIRS="COM14:COM15" E2E_ROOT_SUFFIX="-com14"
# shellcheck source=e2e_common.sh
source "$(dirname "$0")/e2e_common.sh"
trap 'cleanup; "$testenv" --root "$root" down >>"$log" 2>&1 || true' EXIT

com14_item=$((2000 + 13)) # IDM_PORT_BASE + port index
online='Vantoro(TM) "home" Configuration Tool: COM14 online at 9600 baud'
start_sim COM15
start_tool
drive find cmd:$com14_item cmd:62 "title:$online" cmd:401 "title:$online" settle:1500 ||
  fail "COM14 on-line and home sequence"
sim_got_option1 || fail "the simulated controller on COM15 did not get the option 1 frames"
screenshot "$artifacts/after_home_option1_com14.png"
drive cmd:63 cmd:61 gone || fail "off-line and exit"
wait "$tool_pid" || fail "the tool ended with an error"
tool_pid=""
echo "PASS $scenario" | tee -a "$log"
