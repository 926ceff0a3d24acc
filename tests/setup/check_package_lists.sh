#!/usr/bin/env bash
# Checks that the package lists the set-up scripts install from provide every
# command the build, the demo and the tests call: each command's file belongs
# to a listed package or to one they depend on.
#
#   check_package_lists.sh SOURCE_DIR
set -euo pipefail
source=$1
fail() { echo "check_package_lists: $*" >&2; exit 1; }

listed() { grep -hEv '^[[:space:]]*(#|$)' "$@"; }
build=$(listed "$source/scripts/packages/build.txt")
all=$(listed "$source/scripts/packages/build.txt" "$source/scripts/packages/test.txt")

# Everything the packages bring in, Essential ones (coreutils, grep, sed...) aside.
closure() {
    # shellcheck disable=SC2086
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances $1 | grep -Ev '^ |^<' | sort -u
}
build_closure=$(closure "$build")
all_closure=$(closure "$all")

# The commands, and which list must provide them.
demo_commands=(cmake ninja g++ c++ iconv)
test_commands=(ctest cpack clang++ clang-tidy run-clang-tidy clang-format cppcheck man readelf
    objdump dpkg-shlibdeps dpkg-deb debootstrap x86_64-w64-mingw32-g++ i686-w64-mingw32-g++
    x86_64-w64-mingw32-objdump wine)
check() {
    local packages=$1 command=$2 path owner
    path=$(command -v "$command") || fail "$command is not installed here"
    path=$(readlink -f "$path")
    owner=$(dpkg-query -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1) ||
        fail "no package owns $path"
    essential=$(dpkg-query -W -f='${Essential}' "$owner" 2>/dev/null || true)
    [ "$essential" = yes ] && return 0
    grep -qx "$owner" <<<"$packages" || fail "$command ($path, from $owner) is not brought in by the lists"
}
for command in "${demo_commands[@]}"; do check "$build_closure" "$command"; done
for command in "${test_commands[@]}"; do check "$all_closure" "$command"; done
echo "check_package_lists: ${#demo_commands[@]} demo and ${#test_commands[@]} test commands," \
    "each from a listed package or one it depends on"
