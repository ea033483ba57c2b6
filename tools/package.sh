#!/usr/bin/env bash
# Installs what building and packaging need (no test tools, no FTP server), builds a release and makes a Debian package of it in dist/.
# Install it with:  apt-get install ./dist/tervane640_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh --package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTERVANE_BUILD_TESTS=OFF -DTERVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)" --target tervane640
mkdir -p dist
(cd build-package && cpack -G DEB)
ls -1 dist/tervane640_*.deb
