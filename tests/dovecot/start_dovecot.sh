#!/usr/bin/env bash
# Starts a private Dovecot POP3 server on loopback for tests, benchmarks and demos.
#
#   start_dovecot.sh DIR PORT USER PASS NMSGS [--size BYTES] [--tls TLS_PORT CERT KEY] [--tls-min VERSION]
#
# Writes DIR/dovecot.conf, fills DIR/Maildir with NMSGS Japanese messages (about BYTES octets each when
# --size is given), starts Dovecot in the background, waits until PORT greets, and prints the master's pid.
# Plain USER/PASS and APOP logins are both accepted. Stop it with stop_dovecot.sh DIR.
# With --tls, TLS_PORT speaks TLS from the first byte and PORT offers STLS, both with the PEM certificate
# CERT and its key KEY (tests/dovecot/make_certs.sh makes some); each login's log line names the TLS
# version and cipher, and the name the client sent as SNI (sni=<>: none). --tls-min TLSv1.3 takes nothing
# older (the default is TLSv1.2).
# Works as root (login and mail processes then run as dovenull and dovecot) and as an ordinary user.
set -euo pipefail

usage() {
    echo "usage: $0 DIR PORT USER PASS NMSGS [--size BYTES] [--tls TLS_PORT CERT KEY] [--tls-min VERSION]" >&2
    exit 2
}

[[ $# -ge 5 ]] || usage
dir=$1 port=$2 user=$3 pass=$4 count=$5
shift 5
size=0
tls_port=0 cert="" key="" tls_min=TLSv1.2
while [[ $# -gt 0 ]]; do
    case $1 in
    --size) size=${2:?--size needs a value}; shift 2 ;;
    --tls-min) tls_min=${2:?--tls-min needs a value}; shift 2 ;;
    --tls)
        [[ $# -ge 4 ]] || usage
        tls_port=$2 cert=$(realpath "$3") key=$(realpath "$4")
        shift 4
        ;;
    *) usage ;;
    esac
done
[[ $tls_port =~ ^[0-9]+$ && $tls_port -le 65535 ]] || { echo "bad TLS port: $tls_port" >&2; exit 2; }
if [[ $tls_port -gt 0 ]]; then
    [[ -r $cert && -r $key ]] || { echo "certificate or key not readable: $cert $key" >&2; exit 2; }
    ssl_lines="ssl = yes
ssl_cert = <$cert
ssl_key = <$key
ssl_min_protocol = $tls_min"
else
    ssl_lines="ssl = no"
fi
[[ $port =~ ^[0-9]+$ && $port -ge 1 && $port -le 65535 ]] || { echo "bad port: $port" >&2; exit 2; }
[[ $count =~ ^[0-9]+$ ]] || { echo "bad message count: $count" >&2; exit 2; }
[[ $size =~ ^[0-9]+$ ]] || { echo "bad size: $size" >&2; exit 2; }
# Both go into a passwd-file line, where ':' and blanks would break the fields.
name_chars='^[A-Za-z0-9._@+!#%^*=-]+$'
[[ $user =~ $name_chars && $pass =~ $name_chars ]] || {
    echo "user and password may hold only letters, digits and ._@+!#%^*=-" >&2
    exit 2
}

dovecot_bin=$(command -v dovecot || true)
[[ -z $dovecot_bin && -x /usr/sbin/dovecot ]] && dovecot_bin=/usr/sbin/dovecot
if [[ -z $dovecot_bin ]]; then
    echo "dovecot is not installed (apt-get install -y dovecot-pop3d dovecot-core)" >&2
    exit 3
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
"$here/stop_dovecot.sh" "$dir" >/dev/null 2>&1 || true

# Unix socket paths are limited to about 100 bytes; a deep DIR gets its sockets under /tmp instead.
if [[ ${#dir} -le 48 ]]; then
    base_dir=$dir/run
    rm -rf "$base_dir"
    mkdir -p "$base_dir"
else
    base_dir=$(mktemp -d /tmp/dovecot-run.XXXXXX)
fi
echo "$base_dir" >"$dir/base_dir"

if [[ $(id -u) -eq 0 ]]; then
    login_user=dovenull internal_user=dovecot mail_user=dovecot
    for u in $login_user $internal_user; do
        id "$u" >/dev/null 2>&1 || { echo "system user $u is missing (it comes with dovecot-core)" >&2; exit 3; }
    done
    # The mail process runs as dovecot and must reach DIR.
    chmod 755 "$dir" "$base_dir"
    p=$dir
    while [[ $p != / ]]; do
        p=$(dirname "$p")
        if [[ $(stat -c %A "$p") != ?????????[xt] ]]; then
            echo "$p is not searchable by other users; the dovecot user cannot reach $dir" >&2
            exit 3
        fi
    done
else
    login_user=$(id -un) internal_user=$(id -un) mail_user=$(id -un)
fi
# Only root may chroot the login process.
chroot_line=""
[[ $(id -u) -eq 0 ]] || chroot_line="  chroot ="
mail_group=$(id -gn "$mail_user")
internal_group=$(id -gn "$internal_user")

rm -rf "$dir/Maildir" "$dir/home" "$dir/state"
mkdir -p "$dir/Maildir/cur" "$dir/Maildir/new" "$dir/Maildir/tmp" "$dir/home" "$dir/state"
: >"$dir/dovecot.log"

python3 "$here/make_messages.py" "$dir/Maildir/cur" "$count" "$size"

cat >"$dir/dovecot.conf" <<EOF
# Private test instance; everything lives under $dir.
instance_name = sorabune-test-$port
base_dir = $base_dir
state_dir = $dir/state
log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
$ssl_lines
login_log_format_elements = user=<%u> method=%m rip=%r lip=%l mpid=%e %c %k sni=<%{local_name}> session=<%{session}>
disable_plaintext_auth = no
auth_mechanisms = plain apop
# Tests try wrong passwords on purpose and should not wait for them.
auth_failure_delay = 0
default_login_user = $login_user
default_internal_user = $internal_user
default_internal_group = $internal_group
mail_uid = $mail_user
mail_gid = $mail_group
first_valid_uid = 1
first_valid_gid = 1
mail_location = maildir:$dir/Maildir
pop3_uidl_format = %f
shutdown_clients = yes

passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/passwd
}
userdb {
  driver = static
  args = uid=$mail_user gid=$mail_group home=$dir/home
}

service pop3-login {
$chroot_line
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $tls_port
  }
}
# No growing delay after failed logins from the same address: tests fail logins on purpose.
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }
}
EOF

# Only this one user exists; APOP needs the password in plain form.
printf '%s:{PLAIN}%s::::::\n' "$user" "$pass" >"$dir/passwd"
chmod 644 "$dir/passwd"
chown -R "$mail_user:$mail_group" "$dir/Maildir" "$dir/home"

if ! "$dovecot_bin" -c "$dir/dovecot.conf"; then
    echo "dovecot did not start; see $dir/dovecot.log" >&2
    tail -n 20 "$dir/dovecot.log" >&2 || true
    exit 1
fi

# Wait up to 10 s for the greeting.
for _ in $(seq 1 100); do
    if exec 3<>"/dev/tcp/127.0.0.1/$port" 2>/dev/null; then
        greeting=""
        read -r -t 2 greeting <&3 || true
        exec 3<&- 3>&-
        if [[ $greeting == "+OK"* ]]; then
            cat "$base_dir/master.pid"
            exit 0
        fi
    fi
    sleep 0.1
done
echo "dovecot did not answer on 127.0.0.1:$port; see $dir/dovecot.log" >&2
tail -n 20 "$dir/dovecot.log" >&2 || true
"$here/stop_dovecot.sh" "$dir" >/dev/null 2>&1 || true
exit 1
