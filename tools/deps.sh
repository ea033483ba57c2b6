#!/usr/bin/env bash
# Installs the Debian packages the program, its tests and its benchmarks need (only what is missing).
set -euo pipefail
pkgs=(cmake g++ ninja-build qt6-base-dev qt6-charts-dev libgl-dev
      python3-pyftpdlib vsftpd poppler-utils xvfb xauth curl lftp hyperfine time fonts-dejavu-core fonts-liberation)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
