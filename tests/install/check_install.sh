#!/usr/bin/env bash
# Builds the library alone (SIO_LIBRARY_ONLY) from the sources into BUILD_DIR,
# installs its runtime and development components into a scratch prefix and
# builds programs against it the ways a user would: with
# find_package(sio) on sio::sio and on sio::sio_shared, with sio.pc on the
# DLL and (-static) on the static library, and the installed examples with
# their own CMakeLists.txt. The four consumers run under Wine in the test
# environment.
#   check_install.sh BUILD_DIR SOURCE_DIR TOOLCHAIN TESTENV TESTENV_ROOT
set -euo pipefail
build=$1 source=$2 toolchain=$3 testenv=$4 root=$5
rm -rf "$build" && mkdir -p "$build"
build=$(cd "$build" && pwd)
cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DSIO_LIBRARY_ONLY=ON -DSIO_BUILD_DOCS=OFF \
  >"$build/configure.log" || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 >"$build/build.log" || { cat "$build/build.log"; exit 1; }
work=$build/install-check
prefix=$work/prefix
for component in runtime development; do
  cmake --install "$build" --prefix "$prefix" --component $component >/dev/null
done
for f in share/licenses/sio/LICENSE include/sio.h lib/libsio.a lib/libsio.dll.a lib/sio.lib lib/sio.def \
         bin/sio.dll lib/cmake/sio/sioConfig.cmake lib/cmake/sio/sioConfigVersion.cmake lib/pkgconfig/sio.pc \
         share/sio/examples/CMakeLists.txt share/sio/examples/exchange.c; do
  [ -f "$prefix/$f" ] || { echo "missing $f in the installed prefix"; exit 1; }
done

consumer=$source/tests/install/consumer
cmake -S "$consumer" -B "$work/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer"
cmake -S "$prefix/share/sio/examples" -B "$work/examples" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/examples"

# pkg-config sees only the installed files; the compilers are the toolchain's.
# -lsio takes sio.dll's import library; -static with --static the static
# library and the system libraries it needs.
triple=$(sed -n 's/^set(MINGW_TRIPLE \(.*\))$/\1/p' "$toolchain")
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
libs=$(pkg-config --libs sio | xargs) static_libs=$(pkg-config --static --libs sio | xargs)
[[ $libs == -L*" -lsio" && $static_libs == "$libs -luser32 -lsetupapi -ladvapi32" ]] ||
  { echo "sio.pc: Libs are \"$libs\", with Libs.private \"$static_libs\""; exit 1; }
for variant in static dll; do
  out=$work/pkgconfig-$variant
  mkdir -p "$out"
  # shellcheck disable=SC2046  # pkg-config's words are separate arguments
  "$triple-gcc-posix" -c "$consumer/header_first.c" -o "$out/header_first.o" $(pkg-config --cflags sio)
  if [ $variant = static ]; then
    # shellcheck disable=SC2046
    "$triple-g++-posix" -static "$consumer/windows_first.cpp" "$out/header_first.o" -o "$out/consumer.exe" \
      $(pkg-config --static --cflags --libs sio)
  else
    # shellcheck disable=SC2046
    "$triple-g++-posix" -DCONSUMER_ON_DLL "$consumer/windows_first.cpp" "$out/header_first.o" \
      -o "$out/consumer.exe" $(pkg-config --cflags --libs sio)
  fi
done
cp "$prefix/bin/sio.dll" "$work/pkgconfig-dll/"

for program in consumer/consumer_static.exe consumer/consumer_dll.exe pkgconfig-static/consumer.exe \
               pkgconfig-dll/consumer.exe; do
  "$testenv" --root "$root" run "$work/$program"
done
echo "consumers built with find_package and pkg-config and run against $prefix; examples built there"
