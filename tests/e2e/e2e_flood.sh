#!/usr/bin/env bash
# A flood of random bytes from the far end while the tool is on-line: the
# tool keeps answering messages. Prints the round-trip figures; the flood
# is cut off after the measuring window, since the 100 ms poll takes about
# 10 KB a second and would need minutes for the whole megabyte.
# shellcheck source=e2e_common.sh
source "$(dirname "$0")/e2e_common.sh"

start_tool
online='Vantoro(TM) "home" Configuration Tool: COM3 online at 9600 baud'
drive find cmd:13 cmd:62 "title:$online" || fail "on-line"
drive flood:4:1048576 pingfor:10000 "title:$online" || fail "the tool stopped answering during the flood"
screenshot "$artifacts/flood.png"
drive cmd:63 cmd:61 gone || fail "exit"
wait "$tool_pid" || fail "the tool ended with an error"
tool_pid=""
echo "PASS $scenario" | tee -a "$log"
