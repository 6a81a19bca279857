#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it (.clang-format).
# Tables that read best in columns are fenced with "// clang-format off" and "on".
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "format check: $(git ls-files -- '*.cpp' '*.h' | wc -l) files as clang-format writes them"
