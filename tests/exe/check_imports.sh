#!/usr/bin/env bash
# Sorabune.exe must run on a bare Windows: every DLL it imports is one of Windows' own.
#   check_imports.sh WINDOWS_BUILD
set -uo pipefail
exe="$1/dist/Sorabune.exe"
allowed="crypt32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll rasapi32.dll"
allowed+=" secur32.dll shell32.dll user32.dll winmm.dll ws2_32.dll"
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
passed=0
failed=0
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }'); do
    if [[ " $allowed " == *" $dll "* ]]; then
        passed=$((passed + 1))
    else
        echo "not a Windows system DLL: $dll"
        failed=$((failed + 1))
    fi
done
[ "$passed" -gt 0 ] || { echo "no imports read from $exe"; failed=$((failed + 1)); }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
