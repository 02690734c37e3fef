#!/usr/bin/env bash
# Sorabune.exe stays small. The C++ streams (<fstream>, <sstream>, <iostream>) bring libstdc++'s locales
# with them and nearly double the statically linked program, so no object of the program may refer to
# them, and the exe must stay within the bound. It must also hold nothing of the native tests' stand-in
# for the password's protection.
#   check_size.sh WINDOWS_BUILD MAX_BYTES
set -uo pipefail
build=$1
max=$2
exe="$build/dist/Sorabune.exe"
[ -f "$exe" ] || { echo "missing $exe"; exit 1; }
failed=0
size=$(stat -c %s "$exe")
text=$(x86_64-w64-mingw32-size -A "$exe" | awk '$1 == ".text" { print $2 }')
echo "Sorabune.exe: $size bytes, .text $text bytes; bound $max bytes"
if [ "$size" -gt "$max" ]; then
    echo "FAIL Sorabune.exe is $((size - max)) bytes over the bound"
    failed=1
fi
# The program's own code: its static libraries (the test tools are programs of their own) and its main.
mapfile -t objects < <(find "$build" -name 'lib*.a' ! -path '*/delayimp/*'; find "$build/app" -name 'main_win.cpp.obj')
[ "${#objects[@]}" -gt 1 ] || { echo "FAIL no libraries of the program found under $build"; exit 1; }
streams=$(x86_64-w64-mingw32-nm -A -C --undefined-only "${objects[@]}" |
    grep -E 'basic_(i|o|io|if|of|f|istring|ostring|string)?stream|basic_(file|string|stream)buf|std::locale|std::ios_base')
if [ -n "$streams" ]; then
    echo "FAIL the program refers to the C++ streams or locales:"
    echo "$streams" | sed 's|^[^:]*/|    |' | head -n 20
    failed=1
fi
# The native tests' stand-in for the password's protection protects nothing: none of it may reach the program.
mark=$(sed -n 's/.*kStandInMark = "\([^"]*\)".*/\1/p' "$(dirname "$0")/../../platform/Protect_headless.cpp")
if [ -z "$mark" ] || grep -qaF "$mark" "$exe"; then
    echo "FAIL the protection stand-in's marker \"$mark\" is missing from its source or found in Sorabune.exe"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "passed"
[ "$failed" -eq 0 ]
