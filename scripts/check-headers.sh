#!/usr/bin/env bash
# Compiles every header on its own, with only the include folders of its own library and of
# the libraries below it: a header that misses an include, or reaches up the layers
# (engine <- settings; engine <- spool; ui and cli on settings and spool), fails here.
# Usage: scripts/check-headers.sh [BUILD_DIR]   (the build holds the generated version.h)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"

engine="-Iengine/include -I$build/engine/include"
settings="-Isettings/include $engine"
spool="-Ispool/include $engine"
qt=""
if pkg-config --exists Qt6Widgets 2>/dev/null; then
    qt="$(pkg-config --cflags Qt6Widgets) -fPIC"
fi

jobs=()
add() {  # include flags, then headers
    local flags="$1"
    shift
    for h in "$@"; do jobs+=("$flags|$h"); done
}
add "$engine" engine/include/zarn/*.h
add "-Iengine/src $engine" engine/src/*.h
add "$settings" settings/include/zarn/*.h
add "$spool" spool/include/zarn/spool/*.h
add "-Icli -Ispool/include $settings" cli/*.h
if [ -n "$qt" ] && [ -d ui ]; then
    add "-Iui/include -Iui/src -Ispool/include $settings $qt" ui/include/zarn/ui/*.h $(ls ui/src/*.h 2>/dev/null)
fi

check() {
    local flags="${1%%|*}" header="${1#*|}" errors
    errors="$(mktemp)"
    # shellcheck disable=SC2086
    if ! printf '#include "%s"\n' "$PWD/$header" |
        g++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror $flags -x c++ - 2>"$errors"; then
        echo "header check failed: $header" >&2
        cat "$errors" >&2
        rm -f "$errors"
        return 1
    fi
    rm -f "$errors"
}
export -f check

printf '%s\n' "${jobs[@]}" | xargs -d '\n' -P "$(nproc)" -I{} bash -c 'check "$1"' _ {}
echo "header check: ${#jobs[@]} headers compile alone"
