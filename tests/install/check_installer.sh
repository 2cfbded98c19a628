#!/usr/bin/env bash
# The Windows installer under Wine: built with the package, installed silently
# into the test prefix and checked (the zip's files, the Start-menu entries,
# the registered uninstaller, the installed vantoro-home runs), then
# uninstalled silently and checked that nothing of it is left.
#   check_installer.sh TESTENV ROOT BUILD_DIR VERSION ARTIFACT_DIR
set -euo pipefail
testenv=$1 root=$2 build=$3 version=$4 artifacts=$5
mkdir -p "$artifacts"
log=$artifacts/check_installer.log
: >"$log"
fail() { echo "FAIL check_installer: $*" | tee -a "$log"; exit 1; }
env_run() { "$testenv" --root "$root" run "$@"; }

# The installer is a 32-bit program: skipped (ctest's skip code) where those cannot run.
if ! why=$("$testenv" --root "$root" can-run-32bit 2>&1); then
  echo "SKIP check_installer: the installer is a 32-bit program and $why" | tee -a "$log"
  exit 77
fi

cmake --build "$build" --target package >>"$log" 2>&1 || fail "the package did not build"
installer=$build/vantoro-$version-win64.exe
zip=$build/vantoro-$version-win64.zip
for f in "$installer" "$zip"; do [ -f "$f" ] || fail "no $f"; done

"$testenv" --root "$root" up >>"$log" 2>&1
drive_c=$root/pfx/drive_c
dir="$drive_c/Program Files/Vantoro"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantoro'
start_menu_folders() { find "$drive_c" -type d -path "*/Start Menu/Programs/Vantoro configuration tool $version" 2>/dev/null; }
# The installer is a 32-bit program: its keys are in the registry's 32-bit view.
registered() { env_run reg.exe query "$uninstall_key" /reg:32 >>"$log" 2>&1; }

# The uninstaller copies itself elsewhere and returns at once; the copy does
# the work, so wait for the folder to go.
uninstall() {
  env_run "$dir/Uninstall.exe" /S >>"$log" 2>&1 || fail "the uninstaller did not start"
  local deadline=$((SECONDS + 60))
  while [ -e "$dir" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the uninstaller left $dir: $(cd "$dir" && find . | head)"
    sleep 0.5
  done
}

# A run that stopped half-way may have left an installation behind.
if [ -f "$dir/Uninstall.exe" ]; then uninstall; fi

env_run "$installer" /S >>"$log" 2>&1 || fail "the silent install failed"

# The same files as the zip, plus the uninstaller.
(cd "$dir" && find . -type f ! -name Uninstall.exe | sed 's|^\./||' | sort) >"$artifacts/installed.txt"
unzip -Z1 "$zip" | grep -v '/$' | sed "s|^vantoro-$version-win64/||" | sort >"$artifacts/zip.txt"
diff "$artifacts/zip.txt" "$artifacts/installed.txt" >>"$log" ||
  fail "the installer and the zip hold different files (see $log)"
[ -f "$dir/Uninstall.exe" ] || fail "no uninstaller"
echo "installed $(wc -l <"$artifacts/installed.txt") files, as in the zip" | tee -a "$log"

# Start-menu entries for the tool, the guide and a console in the install
# folder, pointing at the installed files.
folder=$(start_menu_folders)
[ -n "$folder" ] || fail "no Start-menu folder \"Vantoro configuration tool $version\""
# A shortcut holds its target as text, in one or two byte characters.
link_targets() { LC_ALL=C tr -d '\000' <"$1" | tr '\134' '/'; }
link_targets "$folder/Vantoro configuration tool.lnk" | grep -qi 'Vantoro/bin/vantoro.exe' ||
  fail "no Start-menu entry for the tool"
link_targets "$folder/Vantoro user guide.lnk" | grep -qi 'Vantoro/doc/guide/index.html' ||
  fail "no Start-menu entry for the guide"
console=$(link_targets "$folder/Vantoro console.lnk" 2>/dev/null || true)
if ! grep -qi 'cmd.exe' <<<"$console" || ! grep -qi 'Vantoro/bin' <<<"$console"; then
  fail "no Start-menu entry for a console in the install folder"
fi
registered || fail "the uninstaller is not registered"

help=$(env_run "$dir/bin/vantoro-home.exe" --help 2>&1) || fail "the installed vantoro-home --help failed"
echo "$help" >>"$log"
grep -q "^vantoro-home $version" <<<"$help" || fail "the installed vantoro-home printed no version line"

uninstall
[ -z "$(start_menu_folders)" ] || fail "the Start-menu folder is left: $(start_menu_folders)"
if registered; then fail "the uninstaller is still registered"; fi
if env_run reg.exe query 'HKLM\Software\Vantoro' /reg:32 >>"$log" 2>&1; then
  fail "the installer's own registry key is left"
fi
echo "PASS check_installer" | tee -a "$log"
