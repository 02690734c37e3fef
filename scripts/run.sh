#!/usr/bin/env bash
# Sets everything up and starts Sorabune under Wine on your display, with a demo mailbox: a Dovecot
# on loopback holding a few Japanese messages, and settings files that point the program at it.
# Press 操作, then メールチェック.
#   scripts/run.sh            with the demo mailbox
#   scripts/run.sh --no-demo  with your own settings in ~/.local/share/sorabune/program
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
demo=1
[ "${1:-}" = "--no-demo" ] && demo=0

bash scripts/install-deps.sh
bash scripts/build.sh --windows-only

data=${XDG_DATA_HOME:-$HOME/.local/share}/sorabune
program="$data/program"
work="$data/work"
mkdir -p "$program" "$work"
cp -r build/windows/dist/. "$program/"

export WINEPREFIX="$data/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1

cleanup=()
trap 'for c in "${cleanup[@]}"; do eval "$c"; done' EXIT INT TERM

desktop=()
if [ -z "${DISPLAY:-}" ]; then
    echo "No display: starting a virtual one (:47). Look at it with: DISPLAY=:47 import -window root shot.png"
    Xvfb :47 -screen 0 1024x768x24 >/dev/null 2>&1 &
    cleanup+=("kill $!")
    export DISPLAY=:47
    sleep 1
    # A bare X server has no window manager to confirm that a window was hidden, and Wine would wait 2 s
    # for that at every hide; Wine's own virtual desktop manages the windows instead.
    desktop=(explorer /desktop=Sorabune,1024x768)
fi

if [ "$demo" = 1 ]; then
    # Dovecot drops privileges, so the mailbox lives where its own user can reach it.
    mailbox="${TMPDIR:-/tmp}/sorabune-demo-mailbox-$(id -u)"
    port=11110
    bash tests/dovecot/stop_dovecot.sh "$mailbox" >/dev/null 2>&1 || true
    rm -rf "$mailbox"
    # The demo server offers STLS with a certificate from a CA of its own, which this Wine prefix trusts.
    certs="$data/demo-certs"
    if ! openssl x509 -checkend 86400 -noout -in "$certs/server.pem" >/dev/null 2>&1; then
        rm -rf "$certs"
        bash tests/dovecot/make_certs.sh "$certs"
    fi
    # Every time: the prefix may be newer than the certificates.
    python3 tests/dovecot/trust_in_wine.py "$certs/ca.pem"
    bash tests/dovecot/start_dovecot.sh "$mailbox" "$port" demo sorabune 3 \
        --tls $((port + 1)) "$certs/server.pem" "$certs/server.key" >/dev/null
    cleanup+=("bash '$repo/tests/dovecot/stop_dovecot.sh' '$mailbox'")
    printf 'SMTP=\r\nPOP3=localhost:%s\r\nMAIL=demo@example.jp\r\nAPOP=0\r\n' "$port" >"$work/quillo.ini"
    printf '[EXEINI]\r\nNAME=demo\r\nNAME2=sorabune\r\nNAME3=1\r\n' >"$program/★MailData/iniIdPass.ini"
    echo "Demo mailbox: 3 messages at localhost:$port (user demo), encrypted with STLS."
fi

cd "$work"
wine "${desktop[@]}" "$program/Sorabune.exe"
