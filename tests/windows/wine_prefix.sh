#!/usr/bin/env bash
# Creates, or removes, the one Wine prefix that a test run shares: a first
# start in a new prefix takes seconds, so it is paid once. The server is kept
# running between the tests and goes away on its own 30 s after the last one.
#
#   wine_prefix.sh create|remove PREFIX WINE
# WINE is the wine program (empty when there is none: exit 77, skipped).
set -euo pipefail
action=$1 prefix=$2 wine=${3:-}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(dirname "$wine")/wineserver
if [ -z "$wine" ] || [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
    echo "wine_prefix: no wine: skipped"
    exit 77
fi
case $action in
    create)
        [ -d "$prefix" ] && { "$wineserver" -k 2>/dev/null || true; rm -rf "$prefix"; }
        mkdir -p "$prefix"
        # Not on this script's output: whoever reads it would wait for the server to end.
        "$wineserver" -p30 </dev/null >/dev/null 2>&1
        # The first program started sets the prefix up.
        "$wine" reg query 'HKCU\Software' >/dev/null 2>&1 ||
            { echo "wine_prefix: reg does not run in $prefix" >&2; exit 1; }
        touch "$prefix/lumivarden-ready"
        echo "wine_prefix: $prefix is ready"
        ;;
    remove)
        "$wineserver" -k 2>/dev/null || true
        rm -rf "$prefix"
        ;;
    *) echo "usage: wine_prefix.sh create|remove PREFIX WINE" >&2; exit 2 ;;
esac
