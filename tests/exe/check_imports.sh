#!/usr/bin/env bash
# Sorabune.exe must run on a bare Windows: every DLL it imports, at start-up or delay-loaded on first
# use, is one of Windows' own. Delay-loaded DLLs do not show in the import table, so every DLL name the
# exe holds is checked too.
#   check_imports.sh WINDOWS_BUILD
set -uo pipefail
exe="$1/dist/Sorabune.exe"
allowed="crypt32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll rasapi32.dll"
allowed+=" secur32.dll shell32.dll user32.dll winmm.dll ws2_32.dll"
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
passed=0
failed=0
check() {
    if [[ " $allowed " == *" $2 "* ]]; then
        passed=$((passed + 1))
    else
        echo "$1 DLL that is not one of Windows' own: $2"
        failed=$((failed + 1))
    fi
}
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }'); do
    check imported "$dll"
done
imported=$passed
for dll in $(strings -a "$exe" | grep -iE '^[a-z0-9_]+\.dll$' | tr 'A-Z' 'a-z' | sort -u); do
    check named "$dll"
done
[ "$imported" -gt 0 ] || { echo "no imports read from $exe"; failed=$((failed + 1)); }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
