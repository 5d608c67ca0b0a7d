#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does nothing when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git openssl ca-certificates
  libmbedtls-dev libcjson-dev libevent-dev libgtest-dev libgmock-dev
  clang-14 libclang-rt-14-dev
  mosquitto mosquitto-clients nginx libnginx-mod-rtmp ffmpeg coturn
  python3 python3-paho-mqtt python3-aioice
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Packaged services must not hold the ports or files our own instances use.
for svc in mosquitto nginx coturn; do
  $SUDO systemctl disable --now "$svc" >/dev/null 2>&1 || true
done
