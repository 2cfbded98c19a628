#!/usr/bin/env bash
# cmake --install into a temporary prefix, then a C program that includes only
# sio.h is built with pkg-config (the shared library, and with --static the
# static one) and run on a socat pseudo-terminal pair that COM3 and COM4 map.
#   install_consumer.sh SOCAT BUILD_DIR SOURCE_DIR
set -euo pipefail
socat_program=$1 build=$2 source=$3
# shellcheck source=pty_pair.sh
source "$(dirname "$0")/pty_pair.sh" install
cmake --install "$build" --prefix "$dir/prefix" --component development >/dev/null
cmake --install "$build" --prefix "$dir/prefix" --component runtime >/dev/null
export PKG_CONFIG_PATH=$dir/prefix/lib/pkgconfig
# shellcheck disable=SC2046  # pkg-config's words are separate arguments
gcc -Wall -Werror -o "$dir/shared" "$source/consumer.c" $(pkg-config --cflags --libs sio)
# shellcheck disable=SC2046
gcc -Wall -Werror -o "$dir/static" "$source/consumer.c" $(pkg-config --static --cflags sio) \
  "$dir/prefix/lib/libsio.a" $(pkg-config --static --libs-only-l sio | sed 's/-lsio//')
start_pty_pair "$socat_program"
export SIO_PORT_MAP="COM3=$dir/a,COM4=$dir/b"
LD_LIBRARY_PATH=$dir/prefix/lib "$dir/shared"
"$dir/static"
readelf -d "$dir/prefix/lib/libsio.so" | grep -q 'SONAME.*libsio\.so\.[0-9]*\]'
echo "install: shared and static programs moved data both ways"
