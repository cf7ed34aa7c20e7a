#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its benchmarks need.
# Runs apt-get only when something is missing, as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2 firebird3.0-server
  fonts-noto-cjk qt6-translations-l10n php-cli
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 python3-aiosmtpd python3-pyftpdlib python3-openssl dovecot-pop3d
  libssl-dev openssl curl clang libclang-rt-14-dev faketime
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
