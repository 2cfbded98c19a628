#!/usr/bin/env bash
# The release package: builds the zip, unpacks it into a fresh folder and
# starts its programs from there under Wine: the tool (found, driven to
# On Line on COM3 and out through Exit) and the two console programs.
#   e2e_package.sh TESTENV ROOT BUILD_DIR VERSION DRIVE_EXE ARTIFACT_DIR
set -euo pipefail
testenv=$1 root=$2 build=$3 version=$4 drive=$(realpath -m "$5") artifacts=$6
mkdir -p "$artifacts"
log=$artifacts/e2e_package.log
: >"$log"
fail() { echo "FAIL e2e_package: $*" | tee -a "$log"; exit 1; }
env_run() { "$testenv" --root "$root" run "$@"; }

cmake --build "$build" --target package >>"$log" 2>&1 || fail "the package did not build"
zip=$build/vantoro-$version-win64.zip
[ -f "$zip" ] || fail "no $zip"
unpacked=$artifacts/package
rm -rf "$unpacked"
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
top=$(realpath "$unpacked/vantoro-$version-win64")
for f in bin/vantoro.exe bin/vantoro-home.exe bin/tmcl-sim.exe bin/sio.dll lib/libsio.dll.a lib/libsio.a \
         include/sio.h doc/user-guide.md; do
  [ -f "$top/$f" ] || fail "$f is missing from the package"
done

"$testenv" --root "$root" up >>"$log" 2>&1
env_run "$top/bin/vantoro.exe" >>"$log" 2>&1 &
tool=$!
online='Vantoro(TM) "home" Configuration Tool: COM3 online at 9600 baud'
if ! env_run "$drive" find cmd:13 cmd:62 "title:$online" cmd:63 cmd:61 gone | tee -a "$log"; then
  env_run taskkill.exe /F /IM vantoro.exe >>"$log" 2>&1 || true
  fail "the packaged tool did not run"
fi
wait "$tool" || fail "the packaged tool ended with an error"

for program in vantoro-home tmcl-sim; do
  status=0
  env_run "$top/bin/$program.exe" --help >>"$log" 2>&1 || status=$?
  # 0 or a usage error are fine; a loader failure (missing DLL, bad image) is not.
  [ "$status" -le 2 ] || fail "$program.exe did not start (status $status)"
done
echo "PASS e2e_package" | tee -a "$log"
