#!/usr/bin/env bash
# Stops a Dovecot instance that start_dovecot.sh started in DIR and waits until it is gone.
#
#   stop_dovecot.sh DIR
set -uo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 DIR" >&2; exit 2; }
dir=$1
[[ -f $dir/base_dir ]] || exit 0
base_dir=$(cat "$dir/base_dir")
pidfile=$base_dir/master.pid
[[ -f $pidfile ]] || exit 0
pid=$(cat "$pidfile")
[[ $pid =~ ^[0-9]+$ ]] || exit 0

# Running and not yet a zombie waiting for whoever adopted the daemon to reap it.
alive() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [[ -n $state && $state != Z ]]
}

# Only signal the pid when it still is the Dovecot master of this instance.
if [[ -r /proc/$pid/cmdline ]] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q "dovecot.*$dir/dovecot.conf"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 200); do
        alive "$pid" || break
        sleep 0.05
    done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null
fi
rm -f "$pidfile"
# A socket folder made under /tmp for a deep DIR goes with the instance.
case $base_dir in
/tmp/dovecot-run.*) rm -rf "$base_dir" ;;
esac
exit 0
