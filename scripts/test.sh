#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once as released, once under
# AddressSanitizer and UndefinedBehaviorSanitizer (ZARN_SKIP_SANITIZE=1 skips the second).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"

if [ "${ZARN_SKIP_SANITIZE:-0}" != 1 ]; then
    cmake --preset sanitize >/dev/null
    cmake --build --preset sanitize -j"$jobs"
    ctest --preset sanitize -j"$jobs"
fi
