#!/usr/bin/env bash
# Installs the Debian packages named in the lists that are not installed yet:
# as root directly, else through sudo when it is there. Otherwise it names the
# packages to install and fails.
#
#   scripts/ensure-packages.sh LIST...      (one package a line, # for comments)
set -euo pipefail

packages=()
for list in "$@"; do
    while read -r package _; do
        case "$package" in "" | "#"*) continue ;; esac
        packages+=("$package")
    done <"$list"
done

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "ensure-packages: not a Debian system; make sure these (Debian names) are installed:" \
        "${packages[*]}" >&2
    exit 0
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    run=()
elif command -v sudo >/dev/null 2>&1; then
    run=(sudo)
else
    echo "ensure-packages: missing packages; as root, run:" >&2
    echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
echo "ensure-packages: installing ${missing[*]}" >&2
apt=("${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q)
"${apt[@]}" update
"${apt[@]}" install -y --no-install-recommends "${missing[@]}"
