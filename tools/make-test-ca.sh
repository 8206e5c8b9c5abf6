#!/usr/bin/env bash
# Makes a throw-away certificate authority and certificates signed by it, for tests and the
# demo to serve TLS from the reference service while the client keeps verifying (it is
# told to trust the CA with VOCALON_EXTRA_CA_FILE). Keys are unencrypted; the certificates
# last two days.
#
#   bash tools/make-test-ca.sh DIR
#
# DIR/ca.pem              the test CA's certificate
# DIR/server.{pem,key}    for 127.0.0.1 and localhost, signed by the test CA
# DIR/other-host.{pem,key} for other-host.invalid only, signed by the test CA
# DIR/stranger.{pem,key}  for 127.0.0.1 and localhost, signed by a CA nobody trusts
set -euo pipefail
DIR=$1
mkdir -p "$DIR"
cd "$DIR"

make_ca() {  # NAME SUBJECT
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 \
        -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
make_cert() {  # NAME CA SUBJECT_ALT_NAMES
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$3" \
        >"$1.ext"
    openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 2 \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null
    rm -f "$1.csr" "$1.ext"
}

make_ca ca "Vocalon test CA"
make_ca unknown-ca "Vocalon unknown CA"
make_cert server ca "IP:127.0.0.1,DNS:localhost"
make_cert other-host ca "DNS:other-host.invalid"
make_cert stranger unknown-ca "IP:127.0.0.1,DNS:localhost"
chmod 600 ./*.key
