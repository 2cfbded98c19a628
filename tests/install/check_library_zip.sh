#!/usr/bin/env bash
# The library's own zip (the 32-bit release): builds it and checks that it
# holds the whole library and nothing of the tool.
#   check_library_zip.sh BUILD_DIR LIBRARY_VERSION ARCH
set -euo pipefail
build=$1 version=$2 arch=$3
cmake --build "$build" --target package >"$build/library-zip.log" 2>&1 || { cat "$build/library-zip.log"; exit 1; }
zip=$build/sio-$version-$arch.zip
[ -f "$zip" ] || { echo "no $zip"; exit 1; }
listing=$(unzip -Z1 "$zip")
top=sio-$version-$arch
for f in share/licenses/sio/LICENSE bin/sio.dll include/sio.h lib/libsio.a lib/libsio.dll.a lib/sio.lib \
         lib/sio.def lib/cmake/sio/sioConfig.cmake lib/pkgconfig/sio.pc share/sio/examples/exchange.c \
         share/doc/sio/CHANGELOG.md share/doc/sio/reference/index.html; do
  grep -qx "$top/$f" <<<"$listing" || { echo "$f is missing from $zip"; exit 1; }
done
if grep -E 'vantoro|tmcl-sim|doc/guide' <<<"$listing"; then
  echo "the library zip holds the tool's files listed above"
  exit 1
fi
echo "$zip holds the library and nothing of the tool"
