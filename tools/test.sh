#!/usr/bin/env bash
# Installs what is missing (test tools and FTP servers too), builds and runs the whole test suite.
#   tools/test.sh              normal build in build/
#   tools/test.sh --sanitize   ASan + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh --test
dir=build; extra=(-DTERVANE_BUILD_TESTS=ON -DTERVANE_BUILD_BENCH=ON)
if [ "${1:-}" = "--sanitize" ]; then dir=build-asan; extra=(-DTERVANE_BUILD_TESTS=ON -DTERVANE_SANITIZE=ON -DTERVANE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug); fi
cmake -S . -B "$dir" -G Ninja "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$dir" --output-on-failure -j2
