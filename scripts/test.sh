#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: as released (with the header and
# format checks and the Debian package), as the engine alone without Qt, under ThreadSanitizer
# (without Qt too), and under AddressSanitizer and UndefinedBehaviorSanitizer
# (ZARN_SKIP_SANITIZE=1 skips the last two).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"
scripts/check-headers.sh build/release
scripts/check-format.sh
# The Debian package: its fields and files, then (as root) an install and a removal with apt.
scripts/package-test.sh build/release

cmake --preset engine-only >/dev/null
cmake --build --preset engine-only -j"$jobs"
ctest --preset engine-only -j"$jobs"

if [ "${ZARN_SKIP_SANITIZE:-0}" != 1 ]; then
    cmake --preset tsan >/dev/null
    cmake --build --preset tsan -j"$jobs"
    ctest --preset tsan -j"$jobs"

    cmake --preset sanitize >/dev/null
    cmake --build --preset sanitize -j"$jobs"
    ctest --preset sanitize -j"$jobs"
fi
