#!/usr/bin/env bash
# The virtual line disappears while the tool is on-line: the tool keeps
# running and answering, its poll shows nothing, and once the line is back
# Off Line and a new On Line give a working connection again (the simulated
# controller then gets a full home sequence).
# shellcheck source=e2e_common.sh
source "$(dirname "$0")/e2e_common.sh"

restore_line() { "$testenv" --root "$root" line-restore COM3 >>"$log" 2>&1 || true; }
trap 'restore_line; cleanup' EXIT

start_tool
offline='Vantoro(TM) "home" Configuration Tool: Offline'
online='Vantoro(TM) "home" Configuration Tool: COM3 online at 9600 baud'
drive find cmd:13 cmd:62 "title:$online" || fail "on-line"

"$testenv" --root "$root" line-cut COM3 >>"$log" 2>&1
# Another test's program starting meanwhile must not bring the line back.
"$testenv" --root "$root" run cmd.exe /c exit >>"$log" 2>&1 || fail "a program in the environment with the line cut"
[ ! -e "$root/tty_COM3" ] || fail "starting a program restored the cut line"
drive settle:1000 "title:$online" ping:20 || fail "the tool stopped answering without its line"
rect=$(client_rect)
screenshot "$artifacts/line_cut_1.png"
drive settle:1000 || fail "the tool stopped answering without its line"
screenshot "$artifacts/line_cut_2.png"
for n in 1 2; do convert "$artifacts/line_cut_$n.png" -crop "$rect" +repage "$artifacts/line_cut_${n}_text.png"; done
changed=$(compare -metric AE "$artifacts/line_cut_1_text.png" "$artifacts/line_cut_2_text.png" null: 2>&1 || true)
echo "pixels changed while the line was gone: $changed" | tee -a "$log"
[ "$changed" = 0 ] || fail "the screen changed while the line was gone"

drive cmd:63 "title:$offline" || fail "off-line without the line"
restore_line
start_sim COM4
drive cmd:62 "title:$online" cmd:401 settle:500 || fail "on-line again after the line came back"
sim_got_option1 || fail "the simulated controller did not get the frames after the line came back"
drive cmd:63 "title:$offline" cmd:61 gone || fail "exit"
wait "$tool_pid" || fail "the tool ended with an error"
tool_pid=""
echo "PASS $scenario" | tee -a "$log"
