#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
if [ -x build/release/app/zarn1-ps-repair ]; then
    exec build/release/app/zarn1-ps-repair
fi
# Without the window: convert the shipped sample with the batch converter.
build/release/cli/zarn1-ps-convert --no-settings samples/BOARD.P01
