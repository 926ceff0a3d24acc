#!/usr/bin/env bash
# Checks that a Windows program is one file: it imports nothing but the
# platform's own system libraries (no compiler runtime DLLs), and runs in the
# GUI subsystem, so that no console opens.
#
#   check_imports.sh OBJDUMP PROGRAM.exe [SUBSYSTEM]
# Exit 77 (skipped) when the program or objdump is missing.
set -euo pipefail
objdump=$1 program=$2 subsystem=${3:-"Windows GUI"}
if ! command -v "$objdump" >/dev/null || [ ! -f "$program" ]; then
    echo "check_imports: $objdump or $program is missing: skipped"
    exit 77
fi

headers=$("$objdump" -p "$program")
allowed=" KERNEL32.dll ADVAPI32.dll msvcrt.dll "
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$imports" ] || { echo "check_imports: $program imports nothing?" >&2; exit 1; }
for dll in $imports; do
    case "$allowed" in
        *" $dll "*) ;;
        *) echo "check_imports: $program imports $dll, which is not a system library" >&2; exit 1 ;;
    esac
done
grep -q "^Subsystem.*($subsystem)" <<<"$headers" || {
    echo "check_imports: $program is not a $subsystem program: $(grep ^Subsystem <<<"$headers")" >&2
    exit 1
}
echo "check_imports: $program imports" $imports
