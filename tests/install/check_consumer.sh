#!/usr/bin/env bash
# Builds the consumer program with the library's source tree inside its own
# build, as projects take it: through FetchContent (from this tree) with
# BUILD_SHARED_LIBS unset, and through add_subdirectory with it ON and OFF.
# Each build must configure none of the tree's tests, build only the kinds
# of library asked for, and its programs run under Wine.
#   check_consumer.sh BUILD_DIR SOURCE_DIR TOOLCHAIN TESTENV TESTENV_ROOT
set -euo pipefail
build=$1 source=$2 toolchain=$3 testenv=$4 root=$5
rm -rf "$build" && mkdir -p "$build"
build=$(cd "$build" && pwd)
fail() { echo "FAIL: $*"; exit 1; }

# NAME HOW PROGRAMS ABSENT [CMAKE ARGS...]: PROGRAMS are the consumer's
# programs that must be built, ABSENT a library file that must not be.
consume() {
  local name=$1 how=$2 programs=$3 absent=$4
  shift 4
  local dir=$build/$name
  cmake -S "$source/tests/install/consumer" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DSIO_CONSUME="$how" -DSIO_SOURCE_DIR="$source" "$@" >"$build/$name-configure.log" 2>&1 ||
    { cat "$build/$name-configure.log"; fail "$name: the configure failed"; }
  local tests
  tests=$(ctest --test-dir "$dir" -N | sed -n 's/^Total Tests: //p')
  [ "$tests" = 0 ] || fail "$name: the consumer's build holds $tests tests of the library's tree"
  [ ! -e "$dir/CPackConfig.cmake" ] || fail "$name: the library's tree configured its packages"
  cmake --build "$dir" -j2 >"$build/$name-build.log" 2>&1 || { cat "$build/$name-build.log"; fail "$name: the build failed"; }
  local built
  built=$(cd "$dir" && find . -maxdepth 1 -name 'consumer_*.exe' -printf '%f\n' | sort | xargs)
  [ "$built" = "$programs" ] || fail "$name: built \"$built\", expected \"$programs\""
  [ -z "$(find "$dir" -name "$absent")" ] || fail "$name: $absent was built"
  for program in $programs; do
    "$testenv" --root "$root" run "$dir/$program"
  done
  echo "$name: $programs built and run"
}

consume fetch_content fetch_content "consumer_dll.exe consumer_static.exe" none
consume shared add_subdirectory consumer_dll.exe libsio.a -DBUILD_SHARED_LIBS=ON
consume static add_subdirectory consumer_static.exe sio.dll -DBUILD_SHARED_LIBS=OFF
