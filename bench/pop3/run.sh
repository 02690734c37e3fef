#!/usr/bin/env bash
# POP3 mail check benchmark: Dovecot on loopback with 1,000 messages of 20 KB; times the mail check's call
# sequence through nmail against curl fetching the same messages over one connection, and prints the figures
# (wall time, peak memory and CPU time, user + system, of the best runs).
#
#   bench/pop3/run.sh [--tls | --pop3] [--rtt MS] [PATH_TO_pop3_mailcheck_bench [PATH_TO_pop3_checkmail_bench]]
#
# The second program, when given, runs the program's whole mail check (its windows headless) as well.
# --tls: both clients use TLS from the first byte (pop3s://localhost) with a test CA made for the run;
# the whole mail check is then left out (the program trusts only the system's roots).
# --pop3: our clients are given pop3://127.0.0.1:port (clear text, STLS never used) instead of host:port.
# --rtt puts a delay proxy (delay_proxy.py) between both clients and Dovecot that adds MS milliseconds of
# round trip, as a real link would.
#
# Without a path both programs come from the native build (build/linux, made here when needed).
# MESSAGES, SIZE and RUNS change the load.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
messages=${MESSAGES:-1000}
size=${SIZE:-20480}
runs=${RUNS:-3}
user=bench
pass=benchpass

tls=0
scheme=""
rtt=""
while [[ ${1:-} == --* ]]; do
    case $1 in
        --tls) tls=1; shift ;;
        --pop3) scheme=pop3://; shift ;;
        --rtt) rtt=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
bench=${1:-}
checkmail=${2:-}
if [[ -z $bench ]]; then
    (cd "$repo" && cmake --preset linux >/dev/null &&
        cmake --build --preset linux -j2 --target pop3_mailcheck_bench pop3_checkmail_bench >/dev/null)
    bench=$repo/build/linux/bench/pop3/pop3_mailcheck_bench
    checkmail=$repo/build/linux/bench/pop3/pop3_checkmail_bench
fi
[[ -x $bench ]] || { echo "no benchmark program at $bench" >&2; exit 1; }
if [[ ! -x /usr/bin/time ]]; then
    if [[ $(id -u) -eq 0 ]]; then
        apt-get install -y time >/dev/null
    else
        echo "/usr/bin/time is missing: apt-get install -y time" >&2
        exit 1
    fi
fi
command -v curl >/dev/null || { echo "curl is missing: apt-get install -y curl" >&2; exit 1; }

work=$(mktemp -d /tmp/pop3-bench.XXXXXX)
chmod 755 "$work"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cleanup() {
    "$repo/tests/dovecot/stop_dovecot.sh" "$work/dovecot" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

server="${scheme}127.0.0.1:$port" url="pop3://127.0.0.1:$port" tls_args=() nmail_args=() curl_tls=""
if [[ $tls == 1 ]]; then
    bash "$repo/tests/dovecot/make_certs.sh" "$work/certs"
    tls_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    tls_args=(--tls "$tls_port" "$work/certs/server.pem" "$work/certs/server.key")
    server="pop3s://localhost:$tls_port" url="pop3s://localhost:$tls_port"
    nmail_args=(--ca "$work/certs/ca.pem") curl_tls="cacert = \"$work/certs/ca.pem\"" checkmail=""
fi
"$repo/tests/dovecot/start_dovecot.sh" "$work/dovecot" "$port" "$user" "$pass" "$messages" --size "$size" \
    "${tls_args[@]}" >/dev/null
link=""
if [[ -n $rtt ]]; then
    target=$port
    [[ $tls == 1 ]] && target=$tls_port
    proxy_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    python3 "$here/delay_proxy.py" "$proxy_port" "$target" "$rtt" >"$work/proxy.txt" &
    proxy=$!
    trap 'kill $proxy 2>/dev/null || true; cleanup' EXIT
    for _ in $(seq 50); do grep -q ready "$work/proxy.txt" && break; sleep 0.1; done
    server=${server%:*}:$proxy_port url=${url%:*}:$proxy_port
    link=" behind a $rtt ms round trip"
fi

# curl: one command, every message as a URL of its own; curl keeps the one connection for all of them.
{
    echo "user = \"$user:$pass\""
    echo 'silent'
    echo "$curl_tls"
    for ((n = 1; n <= messages; n++)); do
        echo "url = \"$url/$n\""
        echo 'output = "/dev/null"'
    done
} >"$work/curl.cfg"

# Prints "seconds max_rss_kb cpu_seconds" of one run of the command: CPU as the program itself printed it
# ("cpu N ms"), else user + system time as /usr/bin/time saw it.
measure() {
    /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1 || {
        echo "failed: $*" >&2
        cat "$work/out.txt" >&2
        exit 1
    }
    local own
    own=$(grep -o 'cpu [0-9.]* ms' "$work/out.txt" | awk '{ print $2 / 1000 }' || true)
    awk -F': ' -v own="$own" '
        /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
        /Maximum resident set size/ { rss = $2 }
        /User time \(seconds\)|System time \(seconds\)/ { cpu += $2 }
        END { if (own != "") cpu = own; printf "%.3f %d %.4f\n", s, rss, cpu }' "$work/time.txt"
}

# The best of several runs, after one run that warms Dovecot's index and the page cache.
best() {
    "$@" >/dev/null 2>&1 || true
    local best_s="" best_rss="" best_cpu="" s rss cpu
    for ((r = 0; r < runs; r++)); do
        read -r s rss cpu < <(measure "$@")
        if [[ -z $best_s ]] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then
            best_s=$s
        fi
        if [[ -z $best_cpu ]] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
            best_cpu=$cpu
        fi
        if [[ -z $best_rss || $rss -gt $best_rss ]]; then
            best_rss=$rss
        fi
    done
    echo "$best_s $best_rss $best_cpu"
}

read -r nmail_s nmail_rss nmail_cpu < <(best "$bench" "$server" "$user" "$pass" "${nmail_args[@]}")
"$bench" "$server" "$user" "$pass" "${nmail_args[@]}" >"$work/check.txt"
read -r curl_s curl_rss curl_cpu < <(best curl -K "$work/curl.cfg")
logins=$(grep -c "Login: user=<$user>" "$work/dovecot/dovecot.log" || true)

echo "POP3 mail check benchmark: $messages messages of $size octets, Dovecot at $url$link (best of $runs runs)"
[[ $tls == 1 ]] && echo "  TLS as Dovecot logged it: $(grep -o 'TLSv[^,]*' "$work/dovecot/dovecot.log" | sort | uniq -c | xargs)"
echo "  nmail mail check: $(cat "$work/check.txt")"
printf '  nmail check (STAT, then TOP+LIST+RETR each): %8.3f s   peak RSS %6d KB   CPU %.4f s\n' "$nmail_s" "$nmail_rss" \
    "$nmail_cpu"
printf '  curl, one connection (RETR each):            %8.3f s   peak RSS %6d KB   CPU %.3f s\n' "$curl_s" "$curl_rss" \
    "$curl_cpu"
awk -v a="$nmail_s" -v b="$curl_s" 'BEGIN { if (b > 0) printf "  time ratio nmail / curl: %.2f\n", a / b }'
if [[ -n $checkmail ]]; then
    read -r check_s check_rss check_cpu < <(best "$checkmail" "$server" "$user" "$pass")
    printf '  CheckMail (the program, windows headless): %8.3f s   peak RSS %6d KB   CPU %.3f s\n' "$check_s" \
        "$check_rss" "$check_cpu"
    awk -v a="$check_s" -v b="$curl_s" 'BEGIN { if (b > 0) printf "  time ratio CheckMail / curl: %.2f\n", a / b }'
fi
echo "  Dovecot logins in all runs: $logins (one per run of either client)"
