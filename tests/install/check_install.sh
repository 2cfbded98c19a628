#!/usr/bin/env bash
# Installs the library into a scratch prefix, builds a consumer against it
# with find_package(sio), once on sio::sio and once on sio::sio_shared, and
# runs both under Wine in the test environment.
#   check_install.sh BUILD_DIR SOURCE_DIR TOOLCHAIN TESTENV TESTENV_ROOT
set -euo pipefail
build=$1 source=$2 toolchain=$3 testenv=$4 root=$5
work=$build/install-check
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" --component Unspecified >/dev/null
for f in include/sio.h lib/libsio.a lib/libsio.dll.a bin/sio.dll lib/cmake/sio/sioConfig.cmake \
         lib/cmake/sio/sioConfigVersion.cmake; do
  [ -f "$work/prefix/$f" ] || { echo "missing $f in the installed prefix"; exit 1; }
done
cmake -S "$source/tests/install/consumer" -B "$work/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer"
for variant in static dll; do
  "$testenv" --root "$root" run "$work/consumer/consumer_$variant.exe"
done
echo "consumers built and run against $work/prefix"
