#!/usr/bin/env bash
# The hot folder's throughput and memory: a watcher is started on a folder already holding
# the files, and timed until the last input is in done/ (the settle period, 0.2 s, taken
# off). Sample-sized files (the 30 KB sample, FILES of them) give files per second; generated
# photoplots of 100 MB (4 of them) give MB/s. Each with -j 1 and -j 2; the watcher's peak
# resident memory (VmHWM) is read before it is stopped.
#
#   bench/hotfolder.sh [--files=N]   (default 1000)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$root/build/bench"
files=1000

for arg in "$@"; do
    case "$arg" in
        --files=*) files="${arg#--files=}" ;;
        -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "hotfolder.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

tmp="$(mktemp -d)"
watcher=
trap '[ -z "$watcher" ] || kill -9 "$watcher" 2>/dev/null; rm -rf "$tmp"' EXIT

echo "== building (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZARN_BUILD_UI=OFF \
    -DZARN_BUILD_TESTS=OFF >"$tmp/build.log" 2>&1 &&
    cmake --build "$build" -j"$(nproc)" --target zarn1-ps-convert zarn1-gen-board \
        >>"$tmp/build.log" 2>&1 || { cat "$tmp/build.log" >&2; exit 1; }
convert="$build/cli/zarn1-ps-convert"

# run JOBS COUNT SOURCE...: COUNT inputs made of the SOURCEs in turn; prints seconds and
# the watcher's VmHWM in KiB.
run() {
    local jobs=$1 count=$2 i=0
    shift 2
    local sources=("$@") dir="$tmp/hot"
    rm -rf "$dir" && mkdir -p "$dir"
    for ((i = 0; i < count; i++)); do
        ln "${sources[i % ${#sources[@]}]}" "$dir/F$((10000 + i)).P01"
    done
    sync
    local start end
    start=$(date +%s.%N)
    "$convert" --no-settings --watch="$dir" --settle=0.2 -j "$jobs" >"$tmp/out" 2>"$tmp/err" &
    watcher=$!
    until [ "$(grep -c '^done: ' "$tmp/out" 2>/dev/null || true)" -ge "$count" ]; do
        sleep 0.02
        kill -0 "$watcher" 2>/dev/null || { cat "$tmp/err" >&2; exit 1; }
    done
    end=$(date +%s.%N)
    local hwm
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$watcher/status")
    kill -TERM "$watcher" && wait "$watcher" || true
    watcher=
    [ "$(grep -c '^error: ' "$tmp/out" || true)" -eq 0 ] || { cat "$tmp/out" >&2; exit 1; }
    echo "$(echo "$end - $start - 0.2" | bc -l) $hwm"
}

printf '%-28s %4s %10s %12s %10s\n' "inputs" "-j" "seconds" "rate" "VmHWM MiB"
for jobs in 1 2; do
    read -r seconds hwm < <(run "$jobs" "$files" "$root/samples/BOARD.P01")
    printf '%-28s %4s %10.2f %8.0f f/s %10.1f\n' "$files x 30 KB sample" "$jobs" "$seconds" \
        "$(echo "$files / $seconds" | bc -l)" "$(echo "$hwm / 1024" | bc -l)"
done
for seed in 1 2 3 4; do
    "$build/bench/zarn1-gen-board" --seed=$seed --size=100000000 "$tmp/big$seed.P01"
done
bytes=$(cat "$tmp"/big?.P01 | wc -c)
for jobs in 1 2; do
    read -r seconds hwm < <(run "$jobs" 4 "$tmp"/big?.P01)
    printf '%-28s %4s %10.2f %7.0f MB/s %10.1f\n' "4 x 100 MB" "$jobs" "$seconds" \
        "$(echo "$bytes / 1000000 / $seconds" | bc -l)" "$(echo "$hwm / 1024" | bc -l)"
done
