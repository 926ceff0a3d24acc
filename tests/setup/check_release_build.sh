#!/usr/bin/env bash
# Builds the project as most users build a CMake project, a plain Release build
# with nothing but the build type, and checks that:
#   - it compiles with the tests on;
#   - its lumivarden is the lean program: no shared C++ runtime to load;
#   - configured without GoogleTest it says the tests are off, and why, and
#     builds the same program byte for byte.
#
#   check_release_build.sh SOURCE_DIR BUILD_DIR GENERATOR
set -euo pipefail
source=$1 build=$2 generator=$3
fail() { echo "check_release_build: $*" >&2; exit 1; }

rm -rf "$build"
cmake -S "$source" -B "$build/with-tests" -G "$generator" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/with-tests" >/dev/null || fail "a Release build with the tests does not compile"
program="$build/with-tests/lumivarden"
needed=$(readelf -d "$program" | grep NEEDED || true)
if grep -Eq 'libstdc\+\+|libgcc_s' <<<"$needed"; then
    fail "the Release program loads a shared C++ runtime: $needed"
fi

configured=$(cmake -S "$source" -B "$build/without-gtest" -G "$generator" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)
grep -q "Tests are off: GoogleTest was not found" <<<"$configured" ||
    fail "a configure without GoogleTest does not say that the tests are off"
cmake --build "$build/without-gtest" >/dev/null || fail "the programs do not build without GoogleTest"
cmp -s "$program" "$build/without-gtest/lumivarden" ||
    fail "the program differs between the two Release builds"
echo "check_release_build: $(stat -c %s "$program") bytes, $(wc -l <<<"$needed") shared libraries" \
    "(libc only); the same without GoogleTest"
