#!/usr/bin/env bash
# Times the batch converter against the I/O floor (`wc -l FILE; cat FILE > copy`: the two
# reads and the one write that a conversion cannot avoid), two `wc -l` passes, Ghostscript's
# bbox device and the conversion with the ink box, on generated photoplots of 10 MB and 100 MB (and 1 GB with --with-1g). The
# commands run alternately, RUNS times each, with a warm page cache, each once replacing its
# earlier output and once writing a new one; the script prints the median wall time, MB/s and
# peak resident memory of each, the median of the pairwise ratios to the floor, the user CPU
# per GB and the Ghostscript ratios.
#
#   bench/run.sh [--with-1g] [--runs=N]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$root/build/bench"
data="$here/data"
runs=5
sizes=(10 100)  # MB

for arg in "$@"; do
    case "$arg" in
        --with-1g) sizes+=(1000) ;;
        --runs=*) runs="${arg#--runs=}" ;;
        -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

for tool in gs /usr/bin/time wc cmake; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

echo "== building (Release) in $build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZARN_BUILD_UI=OFF \
             -DZARN_BUILD_TESTS=OFF &&
       cmake --build "$build" -j"$(nproc)" --target zarn1-ps-convert zarn1-gen-board; } \
       >"$tmp/build.log" 2>&1; then
    cat "$tmp/build.log" >&2
    exit 1
fi
convert="$build/cli/zarn1-ps-convert"
generate="$build/bench/zarn1-gen-board"
all_gray="--gray=0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8"

mkdir -p "$data"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }

# Runs one command, records its wall time and user CPU in seconds and its peak RSS in KiB.
measure() {  # name, command...
    local name="$1"; shift
    local start end
    # What the command before wrote is on disk first: otherwise its write-back slows this one.
    sync
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M %U' -o "$tmp/usage" "$@" >/dev/null 2>"$tmp/stderr" || {
        echo "run.sh: $name failed:" >&2; cat "$tmp/stderr" >&2; exit 1; }
    end=$EPOCHREALTIME
    calc "$end - $start" >>"$tmp/$name.time"; echo >>"$tmp/$name.time"
    tail -n 1 "$tmp/usage" | cut -d' ' -f1 >>"$tmp/$name.rss"
    tail -n 1 "$tmp/usage" | cut -d' ' -f2 >>"$tmp/$name.user"
}

median() {  # file of numbers
    sort -g "$1" | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2];
                                              else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

printf '\n%-8s %-22s %5s %10s %10s %10s %14s\n' "input" "command" "runs" "median s" "MB/s" \
    "user s" "peak RSS MiB"
summary=()
for mb in "${sizes[@]}"; do
    label="${mb} MB"; [ "$mb" = 1000 ] && label="1 GB"
    input="$data/board_${mb}m.P01"
    bytes=$((mb * 1000 * 1000))
    if [ ! -f "$input" ] || [ "$generate" -nt "$input" ]; then
        echo "== generating $input" >&2
        "$generate" --size=$bytes --seed=$mb "$input"
    fi
    cat "$input" >/dev/null  # warm the page cache
    rm -f "$tmp"/*.time "$tmp"/*.rss "$tmp"/*.user

    # Ghostscript renders every mark; at 1 GB once is enough to see the order of magnitude.
    gs_runs=$runs; [ "$mb" -ge 1000 ] && gs_runs=1
    # The converter and the floor each replace the file their run before wrote: the page cache
    # then reuses the memory it freed. New memory costs a virtual machine far more than it
    # costs to copy into, and would make the figures a measure of the host.
    # print and floor replace what their run before wrote, as a repeated conversion does;
    # print-new and floor-new write a file that is not there yet, as a first conversion does.
    # On ext4 a replaced file costs more: emptying the old one, and at its close the write-back
    # that ext4 starts for a file that was emptied and written again.
    for ((i = 1; i <= runs; i++)); do
        measure print "$convert" --no-settings --print "$all_gray" "$input"
        measure floor sh -c 'wc -l "$1" >/dev/null; cat "$1" >"$2"' sh "$input" "$tmp/copy"
        rm -f "$data/board_${mb}m_E01.ps" "$data/board_${mb}m_E01_log.TXT"
        measure print-new "$convert" --no-settings --print "$all_gray" "$input"
        rm -f "$tmp/copy"
        measure floor-new sh -c 'wc -l "$1" >/dev/null; cat "$1" >"$2"' sh "$input" "$tmp/copy"
        measure eps "$convert" --no-settings --eps "$all_gray" "$input"
        measure ink "$convert" --no-settings --print --ink-box "$all_gray" "$input"
        measure wc2 wc -l "$input" "$input"
        if [ "$i" -le "$gs_runs" ]; then
            measure gsbbox gs -q -dBATCH -dNOPAUSE -sDEVICE=bbox "$input"
        fi
    done
    rm -f "$data/board_${mb}m_E"* "$tmp/copy"

    declare -A med
    for name in print floor print-new floor-new eps ink wc2 gsbbox; do
        med[$name]=$(median "$tmp/$name.time")
        user=$(median "$tmp/$name.user")
        rss=$(sort -n "$tmp/$name.rss" | tail -n 1)
        n=$(wc -l <"$tmp/$name.time")
        printf '%-8s %-22s %5d %10.3f %10.0f %10.2f %14.1f\n' "$label" "$name" "$n" \
            "${med[$name]}" "$(calc "$mb / ${med[$name]}")" "$user" "$(calc "$rss / 1024")"
    done
    # Each conversion against the floor run right after it: the page cache and the disk are
    # alike within a pair, whatever they do between pairs.
    pairs() {  # conversion, floor: the sorted pairwise ratios, then their median
        paste "$tmp/$1.time" "$tmp/$2.time" | awk '{ printf "%.6f\n", $1 / $2 }' >"$tmp/pairs"
        sort -g "$tmp/pairs" | awk '{ printf "%s%.2f", (NR > 1 ? " " : ""), $1 }'
        printf ' | %.2f' "$(median "$tmp/pairs")"
    }
    fastest() { sort -g "$tmp/$1.time" | head -n 1; }
    # The fastest runs too: on a virtual machine the noise only ever adds time.
    least() { calc "$(fastest "$1") / $(fastest "$2")"; }
    replaced=$(pairs print floor) new=$(pairs print-new floor-new)
    user_gb=$(calc "$(median "$tmp/print.user") * 1000 / $mb")
    summary+=("$(printf '%-8s print/floor %s (pairs %s; fastest %.2f)   new: %s (pairs %s; fastest %.2f)' \
        "$label" "${replaced##*| }" "${replaced% |*}" "$(least print floor)" \
        "${new##*| }" "${new% |*}" "$(least print-new floor-new)")")
    # The ink box against the plain scan, each run against the conversion run just before it.
    ink=$(pairs ink print)
    summary+=("$(printf '%-8s ink/print %s (pairs %s; fastest %.2f)' "$label" "${ink##*| }" \
        "${ink% |*}" "$(least ink print)")")
    summary+=("$(printf '%-8s user %.2f s/GB   print/wc2 %.2f   gsbbox/print %.1f   gsbbox/print-new %.1f' \
        "$label" "$user_gb" "$(calc "${med[print]} / ${med[wc2]}")" \
        "$(calc "${med[gsbbox]} / ${med[print]}")" "$(calc "${med[gsbbox]} / ${med[print-new]}")")")
    unset med
done

echo
echo "ratios (print/floor: median of the pairwise ratios, and of the fastest runs; the others: of the medians):"
printf '  %s\n' "${summary[@]}"
echo
echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB memory," \
     "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
