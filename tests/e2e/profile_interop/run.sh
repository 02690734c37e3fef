#!/usr/bin/env bash
# Private-profile interoperability: what HeadlessProfile writes, Wine's kernel32 reads back byte for byte,
# and the other way round; both write the same file for the same calls; both read a hand-written
# Windows-style file alike; Win32Profile (the wide functions) works on a "★" path; the Windows whole-file
# functions behave. Values are Shift-JIS (code page 932) bytes.
#
#   run.sh PROFILE_NATIVE
#
# Needs wine (64-bit), x86_64-w64-mingw32-g++-posix and the ja_JP.UTF-8 locale (generated when missing and
# run as root). Exits 77 when a tool is missing, 0 when every check passes.
# PROFILE_INTEROP_WINEPREFIX reuses an existing prefix; PROFILE_TOOL_EXE a prebuilt profile_tool.exe.
set -u

native=${1:?usage: run.sh PROFILE_NATIVE}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
cxx=x86_64-w64-mingw32-g++-posix
# scripts/test.sh sets SORABUNE_REQUIRE_E2E: there a missing tool is a failure, not a skip.
skip_code=77
[ -n "${SORABUNE_REQUIRE_E2E:-}" ] && skip_code=1

for tool in wine wineboot wineserver iconv "$cxx"; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool not found"
        exit "$skip_code"
    fi
done

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    if [ "$(id -u)" = 0 ] && [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
        sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen && locale-gen >/dev/null
    fi
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
        echo "skipped: the ja_JP.UTF-8 locale is missing"
        exit "$skip_code"
    fi
fi

work=$(mktemp -d /tmp/profile-interop.XXXXXX)
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEPREFIX=${PROFILE_INTEROP_WINEPREFIX:-$work/prefix}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all DISPLAY=
own_prefix=$([ -z "${PROFILE_INTEROP_WINEPREFIX:-}" ] && echo yes)
cleanup() {
    [ -n "$own_prefix" ] && { wineserver -k; wineserver -w; } 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The Windows build makes the tool; compile it here only when that build is not at hand.
if [ -z "${PROFILE_TOOL_EXE:-}" ] && [ -f "${PROFILE_TOOL_EXE_CANDIDATE:-}" ]; then
    PROFILE_TOOL_EXE=$PROFILE_TOOL_EXE_CANDIDATE
fi
tool=${PROFILE_TOOL_EXE:-$work/profile_tool.exe}
if [ -z "${PROFILE_TOOL_EXE:-}" ]; then
    "$cxx" -std=c++20 -O1 -static -municode -I"$root" -o "$tool" "$here/profile_tool.cpp" \
        "$root/platform/Profile_win.cpp" "$root/platform/base/CodePage_win.cpp" "$root/platform/base/File_win.cpp" \
        "$root/platform/Protect_win.cpp" "$root/settings/ServerName.cpp" "$root/settings/SettingsFiles.cpp" \
        "$root/settings/StoredPassword.cpp" \
        -lcrypt32 || exit 1
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1
fi

N() { "$native" "$@"; }
W() { wine "$tool" "$@" 2>/dev/null | tr -d '\r'; }
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -v -tx1 | tr -d ' \n'; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

acp=$(W acp)
if [ -z "$acp" ]; then
    # A wineserver of a prefix removed a moment ago can still hold the socket a new prefix maps to:
    # give it a second to go away and start once more.
    sleep 1
    wineboot --init >/dev/null 2>&1
    acp=$(W acp)
fi
if [ "$acp" != 932 ]; then
    echo "Wine's ANSI code page is '$acp', not 932: check the locale"
    exit 1
fi

passed=0
failed=0
check() {  # name expected actual
    if [ "$2" == "$3" ]; then
        passed=$((passed + 1))
        echo "PASS $1"
    else
        failed=$((failed + 1))
        echo "FAIL $1"
        echo "     expected: ${2:0:200}"
        echo "     actual:   ${3:0:200}"
    fi
}

files=$work/files
mkdir -p "$files/★MailData" "$files/★file check" "$files/★program/★MailData"

# Section, key and value in UTF-8, written as code page 932.
cases=(
    "EXEINI|NAME|user01"
    "EXEINI|NAME2|日本語のパスワード ソ表"
    "EXEINI|NAME3|1"
    "EXEINI|LONG|$(printf 'x%.0s' {1..300})"
    "EXEINI|JLONG|$(printf 'あ%.0s' {1..150})"
    "EXEINI|SPACES|pass  word with  spaces"
    "EXEINI|SIGNS|a=b;c [d] \"e\""
    "サーバー|設定キー|値ゾ]ー"
    "OTHER|K|v"
    "EXEINI|NAME|user02"
)

# The same calls on both sides, then each side reads the other's file.
nfile=$files/native.ini
wfile=$files/wine.ini
for c in "${cases[@]}"; do
    IFS='|' read -r s k v <<<"$c"
    N write "$nfile" "$(sjis "$s")" "$(sjis "$k")" "$(sjis "$v")" >/dev/null
    W write "$(winpath "$wfile")" "$(sjis "$s")" "$(sjis "$k")" "$(sjis "$v")" >/dev/null
done
check "both sides write the same file" "$(od -An -v -tx1 "$wfile")" "$(od -An -v -tx1 "$nfile")"
for c in "${cases[@]:1}"; do
    IFS='|' read -r s k v <<<"$c"
    expected="hex:$(sjis "$v")"
    check "Wine reads native $s/$k" "$expected" "$(W read "$(winpath "$nfile")" "$(sjis "$s")" "$(sjis "$k")")"
    check "native reads Wine $s/$k" "$expected" "$(N read "$wfile" "$(sjis "$s")" "$(sjis "$k")")"
done

# A file as people and other programs write it.
hand=$files/hand.ini
printf '; settings\r\n[ExeIni]\r\nname  =  spaced value  \r\n\tNAME2\t=\t"quoted  value"\r\n;NAME3=commented\r\n' >"$hand"
printf "NAME3 = 'single'\r\nbare\r\n[Numbers]\r\na = 12\r\nb=-7\r\nc=0x1F\r\nd=abc\r\ne=\r\nf=99999999999\r\n" >>"$hand"
printf 'g=  +3 apples\r\n[EXEINI]\r\nLATER=second section\r\n' >>"$hand"
for q in "EXEINI|NAME|spaced value" "exeini|name2|quoted  value" "EXEINI|NAME3|single" "EXEINI|bare|" \
    "EXEINI|LATER|" "  EXEINI |  NAME |spaced value" "missing|NAME|"; do
    IFS='|' read -r s k v <<<"$q"
    check "hand-written $s/$k (Wine)" "hex:$(hex "$v")" "$(W read "$(winpath "$hand")" "$(hex "$s")" "$(hex "$k")")"
    check "hand-written $s/$k (native)" "hex:$(hex "$v")" "$(N read "$hand" "$(hex "$s")" "$(hex "$k")")"
done
for k in a b c d e f g zz; do
    check "integer $k reads alike" "$(W readint "$(winpath "$hand")" "$(hex Numbers)" "$(hex $k)" 42)" \
        "$(N readint "$hand" "$(hex Numbers)" "$(hex $k)" 42)"
done

# The program's own files through the wide functions, on a path with "★".
account=$files/★MailData/iniIdPass.ini
flag=$files/★MailData/ini.ini
N write "$account" "$(hex EXEINI)" "$(hex NAME)" "$(sjis 'ユーザー 名')" >/dev/null
check "Win32Profile reads native NAME" "hex:$(sjis 'ユーザー 名')" \
    "$(W wread "$(winpath "$account")" "$(hex EXEINI)" "$(hex NAME)")"
W wwrite "$(winpath "$account")" "$(hex EXEINI)" "$(hex NAME2)" "$(sjis 'パス ワード')" >/dev/null
check "native reads Win32Profile NAME2" "hex:$(sjis 'パス ワード')" "$(N read "$account" "$(hex EXEINI)" "$(hex NAME2)")"
check "Win32Profile reads a 300-byte value whole" "hex:$(sjis "$(printf 'あ%.0s' {1..150})")" \
    "$(W wread "$(winpath "$wfile")" "$(sjis EXEINI)" "$(sjis JLONG)")"
W wwrite "$(winpath "$flag")" "$(hex EXEINI)" "$(hex NUMBER)" "$(hex 1)" >/dev/null
check "flag file written through Win32Profile" "$(hex $'[EXEINI]\r\nNUMBER=1\r\n')" "$(od -An -v -tx1 "$flag" | tr -d ' \n')"
check "native reads the flag" "1" "$(N readint "$flag" "$(hex EXEINI)" "$(hex NUMBER)" 0)"
check "Win32Profile reads a missing flag as the default" "0" \
    "$(W wreadint "$(winpath "$files/★MailData/none.ini")" "$(hex EXEINI)" "$(hex NUMBER)" 0)"

N write "$account" "$(hex EXEINI)" "$(hex BIG)" "$(hex "$(printf 'y%.0s' {1..3000})")" >/dev/null
check "Win32Profile reads a 3000-byte value whole" "hex:$(hex "$(printf 'y%.0s' {1..3000})")" \
    "$(W wread "$(winpath "$account")" "$(hex EXEINI)" "$(hex BIG)")"

check "Windows whole-file functions" "ok" "$(W files "$(winpath "$files/★file check")")"
check "settings-file operations on Windows" "ok" "$(W settings "$(winpath "$files/★program")")"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
