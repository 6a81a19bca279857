#!/bin/sh
# The window program with no display to open on: status 1 and a message of its own, where Qt
# would abort and advise reinstalling.
# Usage: no_display_test.sh PROGRAM
program="$1"
failures=0
check() {  # what, status, stderr, expected text
    if [ "$2" != 1 ] || ! printf '%s\n' "$3" | grep -qxF "$4" ||
        printf '%s\n' "$3" | grep -qi reinstall; then
        echo "$1: status $2, stderr:" >&2
        printf '%s\n' "$3" >&2
        failures=$((failures + 1))
    fi
}
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" A.P01 2>&1 </dev/null)
check "no display named" $? "$err" \
    "zarn1-ps-repair: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set)"
for platform in "DISPLAY=:99" "QT_QPA_PLATFORM=nosuch"; do
    err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$platform" "$program" A.P01 \
          2>&1 </dev/null)
    check "$platform" $? "$err" "zarn1-ps-repair: the window cannot be opened on this display"
done
exit $((failures > 0))
