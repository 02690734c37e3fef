#!/usr/bin/env bash
# Sets everything up and starts Sorabune under Wine on your display, by default with a demo mailbox: a
# Dovecot on loopback holding a few Japanese messages, and a program copy of its own whose settings point
# at it. Press 操作, then メールチェック.
#   scripts/run.sh             the demo, in ~/.local/share/sorabune/demo (your own settings stay untouched)
#   scripts/run.sh --no-demo   with your own settings in ~/.local/share/sorabune/program and work
#   scripts/run.sh --no-build  starts what build/windows/dist already holds (with or without the demo)
# SORABUNE_DEMO_PORT moves the demo server (default 11110, and TLS on the next port); SORABUNE_WINDOWS_BUILD
# names another Windows build folder.
# Closing the program, a right click on the mascot, Ctrl+C or a kill of this script end everything it
# started: Wine, the demo's Dovecot and mailbox, and the virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
demo=1
build=1
for arg in "$@"; do
    case "$arg" in
        --no-demo) demo=0 ;;
        --no-build) build=0 ;;
        *) echo "run.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

if [ "$build" = 1 ]; then
    bash scripts/install-deps.sh
    bash scripts/build.sh --program-only
fi
dist=${SORABUNE_WINDOWS_BUILD:-$repo/build/windows}/dist
[ -f "$dist/Sorabune.exe" ] || { echo "run.sh: $dist holds no program; run without --no-build" >&2; exit 1; }

data=${XDG_DATA_HOME:-$HOME/.local/share}/sorabune
if [ "$demo" = 1 ]; then
    program="$data/demo/program" work="$data/demo/work"
else
    program="$data/program" work="$data/work"
fi
mkdir -p "$program/★MailData" "$work"
# The program's own files; the settings in ★MailData stay as they are.
find "$dist" -mindepth 1 -maxdepth 1 ! -name '★MailData' -exec cp -r {} "$program/" \;

export WINEPREFIX="$data/wineprefix" WINEDEBUG=-all
# No installers for .NET or the HTML engine at the prefix's first start: neither can be fetched offline.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Without a sound device Wine's sound drivers would only print that they found none.
if ! compgen -G '/dev/snd/pcmC*' >/dev/null && [ -z "${PULSE_SERVER:-}" ] &&
    [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ]; then
    WINEDLLOVERRIDES+=";winealsa.drv,winepulse.drv=d"
fi
# The Japanese locale gives Wine the code page 932; this script's own messages keep the user's language.
ja() { LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 LANGUAGE= "$@"; }

mailbox="" xvfb=""
finish() {
    set +e
    trap - EXIT INT TERM
    # Every Wine process of this prefix, the program's and Wine's own services, before the display goes.
    ja wineserver -k >/dev/null 2>&1
    ja wineserver -w >/dev/null 2>&1
    if [ -n "$mailbox" ]; then
        bash "$repo/tests/dovecot/stop_dovecot.sh" "$mailbox" >/dev/null 2>&1
        rm -rf "$mailbox"
    fi
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
        rm -f "$data/display"
    fi
}
trap finish EXIT
trap 'finish; exit 130' INT
trap 'finish; exit 143' TERM

# The prefix is made once per Wine version, then left to settle: the boot goes on in the background
# (services, the first-start setup), and a program started during it can meet a second service manager and
# wait for ever on the first browser it opens.
prefix_recipe="$(wine --version) sorabune-2"
if [ "$(cat "$WINEPREFIX/.sorabune-ready" 2>/dev/null)" != "$prefix_recipe" ]; then
    echo "Preparing the Wine prefix $WINEPREFIX (the first time: about 30 s and 700 MB)."
    ja wineboot --init >/dev/null 2>&1
    # The title bar's buttons are Marlett's glyphs; Wine finds its copy by name only in the prefix's Fonts.
    [ -f /usr/share/wine/fonts/marlett.ttf ] && cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    # Without an HTML engine Wine's browser object shows an empty window. Without the object the program
    # opens its page with the shell, and .html files (left unregistered with the engine) go to Wine's
    # winebrowser, which hands them to the desktop's browser.
    printf '%s\r\n' 'REGEDIT4' '' '[-HKEY_LOCAL_MACHINE\Software\Classes\InternetExplorer.Application]' '' \
        '[HKEY_LOCAL_MACHINE\Software\Classes\.html]' '@="htmlfile"' >"$WINEPREFIX/sorabune.reg"
    ja wine regedit /S "$WINEPREFIX/sorabune.reg" >/dev/null 2>&1
    ja wineserver -w
    echo "$prefix_recipe" >"$WINEPREFIX/.sorabune-ready"
fi

desktop=()
if [ -z "${DISPLAY:-}" ]; then
    # In a session of its own, so that Ctrl+C leaves the display to the clean-up, after Wine.
    shown="$data/display"
    rm -f "$shown"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$shown" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 1 100); do
        [ -s "$shown" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(tr -d '\n' <"$shown")"
    echo "No display: started a virtual one ($DISPLAY); see the README (\"The first run\") to look and click."
    # A bare X server has no window manager to confirm that a window was hidden, and Wine would wait 2 s
    # for that at every hide; Wine's own virtual desktop manages the windows instead.
    desktop=(explorer /desktop=Sorabune,1024x768)
fi

if [ "$demo" = 1 ]; then
    # Dovecot drops privileges, so the mailbox lives where its own user can reach it.
    mailbox="${TMPDIR:-/tmp}/sorabune-demo-mailbox-$(id -u)"
    port=${SORABUNE_DEMO_PORT:-11110}
    bash tests/dovecot/stop_dovecot.sh "$mailbox" >/dev/null 2>&1 || true
    rm -rf "$mailbox"
    # The demo server offers STLS with a certificate from a CA of its own, which this Wine prefix trusts.
    certs="$data/demo/certs"
    # Certificates from before the CA signed with RSA are made again (see make_certs.sh).
    if ! openssl x509 -checkend 86400 -noout -in "$certs/server.pem" >/dev/null 2>&1 ||
        ! openssl x509 -noout -text -in "$certs/ca.pem" 2>/dev/null | grep -q rsaEncryption; then
        rm -rf "$certs"
        bash tests/dovecot/make_certs.sh "$certs" >/dev/null
    fi
    # Every time: the prefix may be newer than the certificates.
    ja python3 tests/dovecot/trust_in_wine.py "$certs/ca.pem"
    bash tests/dovecot/start_dovecot.sh "$mailbox" "$port" demo sorabune 3 \
        --tls $((port + 1)) "$certs/server.pem" "$certs/server.key" >/dev/null
    printf 'SMTP=\r\nPOP3=localhost:%s\r\nMAIL=demo@example.jp\r\nAPOP=0\r\n' "$port" >"$work/quillo.ini"
    printf '[EXEINI]\r\nNAME=demo\r\nNAME2=sorabune\r\nNAME3=1\r\n' >"$program/★MailData/iniIdPass.ini"
    echo "Demo mailbox: 3 messages at localhost:$port (user demo), encrypted with STLS."
    echo "Press 操作, then メールチェック; the mascot comes out about 14 s later. A right click on her ends the demo."
fi

cd "$work"
# In the background, so that Ctrl+C or a kill reaches the clean-up at once rather than after Wine.
ja wine "${desktop[@]}" "$program/Sorabune.exe" &
wait $! || true
