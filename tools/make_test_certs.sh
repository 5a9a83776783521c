#!/usr/bin/env bash
# Makes the test-only certificates of the TLS tests (tests/support/tls/): a test CA, one
# server key, and server certificates that are valid, expired, not yet valid, for another
# host, self-signed, and signed by a CA nobody trusts. The committed files are its output;
# run it again only to renew them (they are valid until 2125):
#   tools/make_test_certs.sh tests/support/tls
# Never use any of them outside the tests: the private keys are public.
set -euo pipefail
out=${1:?usage: make_test_certs.sh OUTPUT_DIR}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

san="DNS:orvell.test,DNS:localhost,IP:127.0.0.1"

# A CA of its own: signs with fixed start and end dates (openssl ca), no database kept.
make_ca() { # NAME SUBJECT
    local dir="$work/$1"
    mkdir -p "$dir/new"
    : >"$dir/index.txt"
    echo 01 >"$dir/serial"
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$dir/key.pem"
    cat >"$dir/ca.cnf" <<CNF
[ca]
default_ca = test
[test]
dir = $dir
database = $dir/index.txt
serial = $dir/serial
new_certs_dir = $dir/new
certificate = $dir/cert.pem
private_key = $dir/key.pem
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[server]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = \$ENV::SAN
[authority]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
CNF
    openssl req -new -key "$dir/key.pem" -subj "$2" -out "$dir/ca.csr"
    SAN=none openssl ca -batch -selfsign -config "$dir/ca.cnf" -keyfile "$dir/key.pem" -extensions authority \
        -notext -startdate 20000101000000Z -enddate 21251231235959Z -in "$dir/ca.csr" \
        -out "$dir/cert.pem" 2>/dev/null
}

# sign CA NAME START END SAN: a certificate for the server key.
sign() {
    openssl req -new -key "$out/server.key" -subj "/CN=orvell.test" -out "$work/$2.csr"
    SAN=$4 openssl ca -batch -config "$work/$1/ca.cnf" -extensions server -notext \
        -startdate "$3" -enddate "${5:-21251231235959Z}" -in "$work/$2.csr" \
        -out "$out/$2.pem" 2>/dev/null
}

openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$out/server.key"
make_ca ca "/CN=ORVELL Test CA"
make_ca stranger "/CN=Stranger Test CA"
cp "$work/ca/cert.pem" "$out/ca.pem"

sign ca good 20260101000000Z "$san"
sign ca expired 20000101000000Z "$san" 20010101000000Z
sign ca future 21000101000000Z "$san" 21010101000000Z
sign ca otherhost 20260101000000Z "DNS:other.test"
sign stranger untrusted 20260101000000Z "$san"
# Self-signed: the server key signs its own certificate.
openssl req -new -key "$out/server.key" -subj "/CN=orvell.test" -out "$work/self.csr"
SAN=$san openssl ca -batch -selfsign -config "$work/ca/ca.cnf" -keyfile "$out/server.key" \
    -extensions server -notext -startdate 20260101000000Z -enddate 21251231235959Z \
    -in "$work/self.csr" -out "$out/selfsigned.pem" 2>/dev/null
echo "test certificates written to $out"
