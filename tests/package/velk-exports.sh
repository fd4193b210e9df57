#!/bin/sh
# Checks that each velk.dll named exports exactly the contract's seven entry
# points and velkBusStatus: no test seam, nothing else.
# Usage: velk-exports.sh DLL...   (OBJDUMP names a MinGW objdump; either
# width's reads both widths)
set -eu
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
expected='vGetInfo vGetPublicVar vGetp vPostData vRegister vSetPublicVar vUnregister velkBusStatus'
[ $# -gt 0 ] || { echo "usage: velk-exports.sh DLL..." >&2; exit 2; }
status=0
for dll in "$@"; do
    dump=$("$objdump" -p "$dll") || { echo "FAIL $dll: $objdump cannot read it" >&2; status=1; continue; }
    names=$(printf '%s\n' "$dump" | awk '
        /\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
        table && /^[ \t]*\[ *[0-9]+\]/ { print $NF; next }
        table { table = 0 }' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
    if [ "$names" = "$expected" ]; then
        echo "ok   $dll: $names"
    else
        echo "FAIL $dll exports: ${names:-nothing}" >&2
        echo "     expected:     $expected" >&2
        status=1
    fi
done
exit $status
