#!/usr/bin/env bash
# Installs the Debian packages a command needs (only those missing). Works from a pristine Debian 12.
#   deps.sh --run       building and running the program
#   deps.sh --package   that, and making the Debian package
#   deps.sh --test      everything: tests (FTP servers among them), benchmarks, fuzzing, the package
#   deps.sh --print ... prints the list of the packages the command needs, and installs nothing
# No FTP server is installed for --run or --package. vsftpd, which the tests start on their own, is
# kept from starting as a system service: its install runs with a policy-rc.d that forbids starting
# services, and the service is then disabled (only when this script installed it; an FTP service
# that was there before is never touched).
set -euo pipefail
run=(cmake g++ ninja-build qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev fonts-liberation)
package=(dpkg-dev file desktop-file-utils appstream)
test=(
  # FTP servers, PDF reading, a display for screenshots, fonts
  python3-pyftpdlib vsftpd openssl python3-openssl poppler-utils xvfb xauth fonts-dejavu-core
  # benchmark peers and timing
  curl lftp hyperfine time
  # fuzzing (libFuzzer comes with clang)
  clang-14 libclang-rt-14-dev
)
what="test" print=0
for a in "$@"; do
  case "$a" in
    --run) what=run ;;
    --package) what=package ;;
    --test) what="test" ;;
    --print) print=1 ;;
    *) echo "deps.sh: unknown option $a (--run, --package, --test, --print)" >&2; exit 2 ;;
  esac
done
case "$what" in
  run) pkgs=("${run[@]}") ;;
  package) pkgs=("${run[@]}" "${package[@]}") ;;
  test) pkgs=("${run[@]}" "${package[@]}" "${test[@]}") ;;
esac
if [ "$print" = 1 ]; then printf '%s\n' "${pkgs[@]}"; exit 0; fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
missing=()
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
elif command -v sudo >/dev/null 2>&1; then
  # sudo drops the caller's environment: the setting goes along inside the command.
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
  echo "deps.sh: installing ${missing[*]} (sudo asks for your password)"
else
  echo "deps.sh: these packages are missing: ${missing[*]}" >&2
  echo "Install them as root, then run this again:" >&2
  echo "  su -c 'apt-get update && apt-get install --no-install-recommends ${missing[*]}'" >&2
  exit 1
fi

# An FTP server this run installs must not start as a service: a policy-rc.d that refuses every
# start while apt runs (one that is there already is left alone).
new_vsftpd=0
for p in "${missing[@]}"; do [ "$p" = vsftpd ] && new_vsftpd=1; done
policy=/usr/sbin/policy-rc.d placed_policy=0
if [ "$new_vsftpd" = 1 ] && ! [ -e "$policy" ]; then
  "${as_root[@]}" sh -c "printf '#!/bin/sh\n# placed by Tervane640 tools/deps.sh while it installs packages\nexit 101\n' > $policy && chmod 755 $policy"
  placed_policy=1
fi
cleanup() { if [ "$placed_policy" = 1 ]; then "${as_root[@]}" rm -f "$policy"; fi; }
trap cleanup EXIT

"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

if [ "$new_vsftpd" = 1 ]; then
  # The tests run vsftpd themselves, in the foreground, on 127.0.0.1: the system service stays off.
  if command -v systemctl >/dev/null 2>&1; then "${as_root[@]}" systemctl disable vsftpd.service >/dev/null 2>&1 || true; fi
  if command -v update-rc.d >/dev/null 2>&1; then "${as_root[@]}" update-rc.d vsftpd disable >/dev/null 2>&1 || true; fi
  echo "deps.sh: vsftpd is installed for the tests only; its system service is disabled and not started"
fi
