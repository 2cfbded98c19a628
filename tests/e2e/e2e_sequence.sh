#!/usr/bin/env bash
# The operator's road: COM3, On Line, Home_Option1 with the simulated
# controller on COM4 checking the 54 bytes and answering, then Off Line,
# About with its OK, and Exit; the title is checked after each step and a
# screenshot of the replies is kept.
# shellcheck source=e2e_common.sh
source "$(dirname "$0")/e2e_common.sh"

start_sim COM4
start_tool
offline='Vantoro(TM) "home" Configuration Tool: Offline'
online='Vantoro(TM) "home" Configuration Tool: COM3 online at 9600 baud'

drive find "title:Vantoro (TM) Configuration Utility" cmd:13 \
  "title:Vantoro (TM) Configuration Utility" cmd:62 "title:$online" cmd:401 "title:$online" \
  settle:1500 || fail "on-line and home sequence"
sim_got_option1 || fail "the simulated controller did not get the option 1 frames"

rect=$(client_rect)
[ -n "$rect" ] || fail "no client rectangle"
shot=$artifacts/after_home_option1.png
screenshot "$shot"
dark=$(dark_fraction "$shot" "$rect")
echo "screenshot $shot, client $rect, dark fraction $dark" | tee -a "$log"
awk -v d="$dark" 'BEGIN { exit !(d > 0.002) }' || fail "the text area is blank"

drive cmd:63 "title:$offline" about "title:$offline" cmd:61 gone || fail "off-line, About and exit"
wait "$tool_pid" || fail "the tool ended with an error"
tool_pid=""
echo "PASS $scenario" | tee -a "$log"
