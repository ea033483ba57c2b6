#!/usr/bin/env bash
# Installs the Debian packages the program, its tests, its benchmarks, its fuzzers and
# its package need (only what is missing). Works from a pristine Debian 12.
set -euo pipefail
pkgs=(
  # build
  cmake g++ ninja-build qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev
  # tests: FTP servers, PDF reading, a display for screenshots, fonts
  python3-pyftpdlib vsftpd openssl python3-openssl poppler-utils xvfb xauth fonts-dejavu-core fonts-liberation
  # benchmark peers and timing
  curl lftp hyperfine time
  # fuzzing (libFuzzer comes with clang)
  clang-14 libclang-rt-14-dev
  # the Debian package and its checks
  dpkg-dev file desktop-file-utils appstream lintian
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
