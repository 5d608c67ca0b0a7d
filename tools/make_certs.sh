#!/usr/bin/env bash
# Makes throw-away certificates in DIR for loopback peers:
#   ca.crt/ca.key             the trusted test CA
#   server.crt/server.key     CN=localhost, SAN DNS:localhost,IP:127.0.0.1, signed by ca
#   wrongname.crt/.key        CN=wrong.invalid, signed by ca (name mismatch)
#   other_ca.crt, other.crt/.key   a second CA and a localhost certificate it signed (untrusted chain)
set -euo pipefail
dir=${1:?usage: make_certs.sh DIR}
mkdir -p "$dir"
cd "$dir"

make_ca() {  # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "$1.key" -out "$1.crt" \
    -subj "$2" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null
}

make_leaf() {  # name ca cn san
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" -subj "/CN=$3" 2>/dev/null
  printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$4" > "$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.crt" -CAkey "$2.key" -CAcreateserial -days 30 -sha256 \
    -extfile "$1.ext" -out "$1.crt" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}

make_ca ca "/CN=Orvia Test CA"
make_ca other_ca "/CN=Other Test CA"
make_leaf server ca localhost "DNS:localhost,IP:127.0.0.1"
make_leaf wrongname ca wrong.invalid "DNS:wrong.invalid"
make_leaf other other_ca localhost "DNS:localhost,IP:127.0.0.1"
chmod 600 ./*.key
