#!/bin/sh
# Builds the libFuzzer targets with clang-14 in a build folder of their own and runs each for SECONDS
# (default 20). New inputs go to that build folder; the seed corpora in fuzz/corpus stay as they are.
#   fuzz/run.sh 20                 # every target, 20 s each (what CI runs)
#   fuzz/run.sh 3600 fuzz_reply    # one target, an hour
set -eu
seconds=${1:-20}
shift 2>/dev/null || true
src=$(cd "$(dirname "$0")/.." && pwd)
build=${TERVANE_FUZZ_BUILD:-$src/build-fuzz}
targets=${*:-"fuzz_reply fuzz_size fuzz_listing fuzz_rows fuzz_cfg"}
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTERVANE_BUILD_TESTS=OFF -DTERVANE_BUILD_BENCH=OFF -DTERVANE_BUILD_FUZZ=ON >/dev/null
fi
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets
export QT_QPA_PLATFORM=offscreen
status=0
for t in $targets; do
    seeds="$src/fuzz/corpus/${t#fuzz_}"
    work="$build/corpus/${t#fuzz_}"
    mkdir -p "$work"
    echo "== $t ($seconds s)"
    "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/$t-" \
        "$work" "$seeds" 2>"$build/$t.log" || status=1
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb|ERROR|SUMMARY" "$build/$t.log" || true
done
exit $status
