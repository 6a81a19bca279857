#!/usr/bin/env bash
# Builds the libFuzzer target with clang and fuzzes whole conversions.
# Usage: fuzz/run.sh [SECONDS]   (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DZARN_FUZZ=ON -DZARN_BUILD_UI=OFF \
    -DZARN_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target zarn_convert_fuzzer
mkdir -p build/fuzz/corpus build/fuzz/artifacts
cp -n fuzz/corpus/* build/fuzz/corpus/ 2>/dev/null || true
# Crashing inputs land in build/fuzz/artifacts; keep each one in fuzz/regressions.
build/fuzz/fuzz/zarn_convert_fuzzer build/fuzz/corpus -dict=fuzz/zarn.dict -max_len=20000 \
    -timeout=10 -rss_limit_mb=2048 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/
