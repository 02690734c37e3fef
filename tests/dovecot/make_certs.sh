#!/usr/bin/env bash
# Makes a throwaway test CA and server certificates for the TLS tests, fresh each time (no key is kept
# in the repository):
#
#   make_certs.sh DIR
#
#   DIR/ca.pem                      the test CA, to be trusted by the client under test
#   DIR/server.pem, server.key      signed by the CA, for localhost and 127.0.0.1, for server use
#   DIR/other.pem, other.key        signed by the CA, for another name (other.example) only
#   DIR/self.pem, self.key          self-signed, for localhost and 127.0.0.1
#   DIR/expired.pem, expired.key    signed by the CA, for localhost and 127.0.0.1, valid only in January 2020
#   DIR/client.pem, client.key      signed by the CA, for localhost and 127.0.0.1, for client use only
#   DIR/tld.pem, tld.key            signed by the CA, for *.test: a wildcard over a whole top-level domain
#   DIR/cnonly.pem, cnonly.key      signed by the CA, CN=localhost and no subjectAltName
#   DIR/names.pem, names.key        signed by the CA, for *.example.test, p*.partial.test and, as a DNS
#                                   name, 127.0.0.1
# The names these certificates are tried with lead to loopback through tests/dovecot/hosts, which nss_wrapper
# reads (it takes no comment lines).
set -euo pipefail
[[ $# -eq 1 ]] || { echo "usage: $0 DIR" >&2; exit 2; }
command -v openssl >/dev/null || { echo "openssl is not installed (apt-get install -y openssl)" >&2; exit 3; }
dir=$1
mkdir -p "$dir"
cd "$dir"

new_key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$1" 2>/dev/null; }
# SAN [USAGE]
server_ext() {
    printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n'
    printf 'extendedKeyUsage=%s\n' "${2:-serverAuth}"
    [[ -z $1 ]] || printf 'subjectAltName=%s\n' "$1"
}

# The CA signs with RSA. Wine's crypt32 refuses an ECDSA signature whose r or s has a leading zero byte
# (about one signature in 128) as not valid, which made a random test certificate look untrusted.
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out ca.key 2>/dev/null
openssl req -x509 -new -key ca.key -out ca.pem -days 30 -subj "/CN=Sorabune Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null

# NAME SAN [self|ca [USAGE]]
issue() {
    new_key "$1.key"
    openssl req -new -key "$1.key" -subj "/CN=${2#DNS:}" -out "$1.csr" 2>/dev/null
    server_ext "$3" "${5:-}" >"$1.ext"
    if [[ ${4:-} == self ]]; then
        openssl x509 -req -in "$1.csr" -signkey "$1.key" -days 30 -extfile "$1.ext" -out "$1.pem" 2>/dev/null
    else
        openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
            -days 30 -extfile "$1.ext" -out "$1.pem" 2>/dev/null
    fi
    rm -f "$1.csr" "$1.ext"
}
issue server DNS:localhost "DNS:localhost,IP:127.0.0.1"
issue other DNS:other.example "DNS:other.example"
issue self DNS:localhost "DNS:localhost,IP:127.0.0.1" self
issue client DNS:localhost "DNS:localhost,IP:127.0.0.1" ca clientAuth
issue tld "DNS:*.test" "DNS:*.test"
issue cnonly DNS:localhost ""
issue names "DNS:*.example.test" "DNS:*.example.test,DNS:p*.partial.test,DNS:127.0.0.1"

# A certificate whose time is over needs `openssl ca`, the one command that takes explicit dates.
new_key expired.key
openssl req -new -key expired.key -subj "/CN=localhost" -out expired.csr 2>/dev/null
server_ext "DNS:localhost,IP:127.0.0.1" >expired.ext
mkdir -p ca-db
: >ca-db/index.txt
openssl rand -hex 8 >ca-db/serial
printf '[ca]\ndefault_ca = test\n[test]\ndatabase = ca-db/index.txt\nnew_certs_dir = ca-db\nserial = ca-db/serial\n%s\n' \
    'default_md = sha256
policy = any
[any]
commonName = supplied' >ca-db/ca.cnf
openssl ca -batch -config ca-db/ca.cnf -cert ca.pem -keyfile ca.key -in expired.csr -out expired.pem -notext \
    -startdate 20200101000000Z -enddate 20200201000000Z -extfile expired.ext 2>/dev/null
rm -rf ca-db expired.csr expired.ext
chmod 644 ./*.pem ./*.key
