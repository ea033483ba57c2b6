#!/usr/bin/env bash
# Installs what is missing, builds and starts Tervane640.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build-run -G Ninja -DTERVANE_BUILD_TESTS=OFF -DTERVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-run -j"$(nproc)" --target tervane640
exec ./build-run/app/tervane640 "$@"
