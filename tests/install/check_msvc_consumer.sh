#!/usr/bin/env bash
# Builds a program with no C runtime for the MSVC target with clang, links it
# with lld-link against sio.lib alone, and runs it under Wine beside sio.dll.
#   check_msvc_consumer.sh SOURCE_DIR BUILD_DIR TARGET_TRIPLE TESTENV TESTENV_ROOT
# On 32-bit the program is compiled with __stdcall as its default, as /Gz does.
set -euo pipefail
source=$1 build=$2 triple=$3 testenv=$4 root=$5
work=$build/msvc-consumer
rm -rf "$work" && mkdir -p "$work"
flags=(--target="$triple" -ffreestanding -fno-stack-protector -O1 -Wall -Werror -DSIO_USE_DLL)
case "$triple" in i686-*) flags+=(-Xclang -fdefault-calling-conv=stdcall); machine=x86 ;; *) machine=x64 ;; esac
clang "${flags[@]}" -I "$source/sio/include" -c "$source/tests/install/msvc_consumer/no_crt_consumer.c" \
  -o "$work/consumer.obj"
lld-link /nologo /entry:Start /subsystem:console /nodefaultlib /machine:$machine \
  /out:"$work/consumer.exe" "$work/consumer.obj" "$build/sio/sio.lib"
cp "$build/sio/sio.dll" "$work/"
status=0
"$testenv" --root "$root" run "$work/consumer.exe" || status=$?
case $status in
  0) echo "the program linked against sio.lib ran and its calls into sio.dll gave the documented results" ;;
  10) echo "SioQueryInfo('?') did not give 999: the call did not reach sio.dll as made" ;;
  11) echo "SioPortControl(0, 'B', 0) did not give -1" ;;
  12) echo "SioOpenPort of the missing COM200 did not give SIO_WIN_ERROR" ;;
  13) echo "SioWinError did not give the kept system error 2" ;;
  14) echo "SioWinError left the caller's buffer empty" ;;
  77) echo "SKIP: the test environment cannot run this (32-bit) program on this machine" ;;
  *) echo "the program did not run to its end (status $status)" ;;
esac
exit $status
