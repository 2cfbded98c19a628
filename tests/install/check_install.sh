#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds a consumer against it
# with find_package(sio): header, static library and package config.
set -euo pipefail
build=$1 source=$2 toolchain=$3
work=$build/install-check
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" --component Unspecified >/dev/null
for f in include/sio.h lib/libsio.a lib/cmake/sio/sioConfig.cmake; do
  [ -f "$work/prefix/$f" ] || { echo "missing $f in the installed prefix"; exit 1; }
done
cmake -S "$source/tests/install/consumer" -B "$work/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer"
echo "consumer built against $work/prefix"
