#!/bin/sh
# Takes screenshots of the window under a virtual X server: without a settings file and
# with an English one. Usage: scripts/ui-screenshots.sh <path to zarn1-ps-repair> [out dir]
# Needs the Debian packages xvfb, x11-apps (xwd) and imagemagick (convert).
set -eu

program=$(readlink -f "$1")
out=$(readlink -f "${2:-$(dirname "$0")/../docs}")
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT

display=:${ZARN_SCREENSHOT_DISPLAY:-97}
Xvfb "$display" -screen 0 640x560x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

shoot() {
    name=$1
    ( cd "$work/$name" && DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" ) &
    app=$!
    sleep 2
    DISPLAY=$display xwd -root -silent >"$work/$name.xwd"
    kill "$app"
    wait "$app" 2>/dev/null || true
    convert "xwd:$work/$name.xwd" -trim +repage "$out/$name.png"
    echo "wrote $out/$name.png"
}

mkdir -p "$work/window-built-in" "$work/window-uk"
shoot window-built-in
printf 'COUNTRY = 44\r\n' >"$work/window-uk/ZARN1_PS.INI"
shoot window-uk
