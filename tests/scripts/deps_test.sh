#!/usr/bin/env bash
# scripts/deps' decisions, with stand-ins for apt-get, dpkg, dpkg-query, id
# and the i386 loader: nothing on the machine is installed or changed.
set -euo pipefail
deps=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/deps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0

# The stand-ins keep their state in $S: installed (one package a line),
# archs, uninstallable (packages apt cannot install), update-error (what a
# failing update prints) and calls (every apt-get and dpkg call).
mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
for last; do :; done
grep -qx "$last" "$S/installed" && printf 'install ok installed'
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
echo "dpkg $*" >>"$S/calls"
case "$1" in
  --print-foreign-architectures) cat "$S/archs" ;;
  --add-architecture) echo "$2" >>"$S/archs" ;;
  --remove-architecture) grep -vx "$2" "$S/archs" >"$S/archs.new"; mv "$S/archs.new" "$S/archs" ;;
esac
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$S/calls"
for a; do case "$a" in update) [ ! -s "$S/update-error" ] || { cat "$S/update-error"; exit 100; }; exit 0 ;; esac; done
status=0
for a; do
  case "$a" in -*|install) continue ;; esac
  if grep -qx "$a" "$S/uninstallable"; then echo "E: Unable to locate package $a"; status=100; fi
done
[ $status = 0 ] || exit $status
case " $* " in *" -s "*) exit 0 ;; esac
for a; do case "$a" in -*|install) ;; *) echo "$a" >>"$S/installed" ;; esac; done
EOF
cat >"$work/bin/id" <<'EOF'
#!/bin/sh
echo "$STUB_UID"
EOF
cat >"$work/loader" <<'EOF'
#!/bin/sh
exit "$STUB_RUN32"
EOF
chmod +x "$work/bin/"* "$work/loader"
all_required=$(sed -n '/^required=(/,/)$/p' "$deps" | tr -d '()' | sed 's/required=//' | tr ' ' '\n' | grep .)

# scenario NAME UID RUN32(0 yes, 1 no) MISSING UNINSTALLABLE UPDATE-ERROR
scenario() {
  export S=$work/$1 STUB_UID=$2 STUB_RUN32=$3
  mkdir -p "$S"
  local p
  : >"$S/installed"
  for p in $all_required; do [[ " $4 " == *" $p "* ]] || echo "$p" >>"$S/installed"; done
  : >"$S/archs"; : >"$S/calls"
  tr ' ' '\n' <<<"$5" >"$S/uninstallable"
  printf '%s' "$6" >"$S/update-error"
  set +e
  out=$(PATH=$work/bin:$PATH DEPS_I386_LOADER=$work/loader bash "$deps" 2>&1)
  rc=$?
  set -e
}
expect() {  # expect WHAT CONDITION...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else
    failures=$((failures + 1)); echo "FAILED: $what"; echo "  output: $out"; echo "  calls: $(tr '\n' ';' <"$S/calls")"
  fi
}
has() { grep -q -- "$1" <<<"$out"; }
called() { grep -q -- "$1" "$S/calls"; }
lines() { [ "$(grep -c -- "$1" <<<"$out")" = "$2" ]; }

scenario no32 0 1 "socat" "" ""
expect "no 32-bit programs: exit 0" test $rc = 0
expect "no 32-bit programs: the required package installed" grep -qx socat "$S/installed"
expect "no 32-bit programs: no i386 architecture, nothing 32-bit downloaded" eval '! called i386'
expect "no 32-bit programs: said in one line" lines "cannot run 32-bit programs" 1

mirror="E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?
E: Some index files failed to download. They have been ignored, or old ones used instead."
scenario broken_mirror 0 0 "cmake" "wine32:i386" "$mirror"
expect "broken mirror: exit 0" test $rc = 0
expect "broken mirror: the failed index in one line" lines "could not be fetched.*binary-i386/Packages.xz" 1
expect "broken mirror: required installed from what arrived" grep -qx cmake "$S/installed"
expect "broken mirror: the 32-bit part skipped in one line" lines "skipped Wine's 32-bit part" 1
expect "broken mirror: the i386 architecture it added is taken back" test ! -s "$S/archs"

scenario has32 0 0 "" "" ""
expect "32-bit machine: wine32:i386 installed after enabling i386" grep -qx wine32:i386 "$S/installed"
expect "32-bit machine: i386 enabled" grep -qx i386 "$S/archs"

scenario required_fails 0 1 "nsis socat" "nsis" ""
expect "required package missing from the mirror: fails" test $rc != 0
expect "required package missing from the mirror: named" has "cannot install the required packages nsis:"

scenario user_optional 1000 0 "" "" ""
expect "ordinary user, only the 32-bit part missing: exit 0" test $rc = 0
expect "ordinary user: the skip said" has "skipped Wine's 32-bit part.*needs root"
expect "ordinary user: nothing installed" test ! -s "$S/calls"

scenario user_required 1000 1 "clang lld" "" ""
expect "ordinary user, required missing: fails" test $rc != 0
expect "ordinary user, required missing: names them and the command" has "clang lld.*sudo scripts/deps"

echo "$passed passed, $failures failed"
[ $failures = 0 ]
