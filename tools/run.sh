#!/usr/bin/env bash
# Installs what building and running need (when missing), builds and starts Tervane640 in the
# folder you run this from, so a file named on the command line is found where you stand:
#   bash tools/run.sh [FILE.csv | --help | --version]
set -euo pipefail
here=$(pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
args=()
for a in "$@"; do
  case "$a" in
    -*|/*) args+=("$a") ;;
    *) args+=("$here/$a") ;;
  esac
done
cd "$repo"
bash tools/deps.sh --run
cmake -S . -B build-run -G Ninja -DTERVANE_BUILD_TESTS=OFF -DTERVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-run -j"$(nproc)" --target tervane640
cd "$here"
exec "$repo/build-run/app/tervane640" "${args[@]}"
