#!/usr/bin/env bash
# Soak run: the meter simulator streams at about line rate into the window (under Xvfb, "COM
# Connect" pressed) and into meterlog, for MINUTES minutes, with the cable unplugged and plugged
# in again every few minutes. The memory (RSS) of both programs is written every 30 s into a CSV
# file; at the end a summary compares the growth with the rows held and with the table
# benchmark's bytes per row.
#
#   scripts/soak.sh MINUTES [CSV]        (default CSV: soak-<date>.csv in the current folder)
#
# Environment: SOAK_RATE readings per second (default 70: 9600 bit/s of 13-byte frames),
# SOAK_REPLUG_SECONDS between unplugs (default 120), SOAK_SAMPLE_SECONDS between samples
# (default 30), METERLINK_BUILD_DIR (default build).
set -euo pipefail

minutes=${1:-}
if ! [[ "$minutes" =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
    echo "usage: scripts/soak.sh MINUTES [CSV]" >&2
    exit 2
fi
csv=$(realpath -m "${2:-soak-$(date +%Y%m%d-%H%M%S).csv}")
cd "$(dirname "$0")/.."
rate=${SOAK_RATE:-70}
replug=${SOAK_REPLUG_SECONDS:-120}
sample=${SOAK_SAMPLE_SECONDS:-30}
build=${METERLINK_BUILD_DIR:-build}

./scripts/install-deps.sh
if ! command -v Xvfb > /dev/null || ! command -v xdotool > /dev/null; then
    as_root=()
    [ "$(id -u)" -ne 0 ] && as_root=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends xvfb xdotool
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMETERLINK_BUILD_TESTS=OFF \
        > "$build-configure.log" || { cat "$build-configure.log" >&2; exit 1; }
fi
targets=(meterlink meterlog metersim)
grep -q '^METERLINK_BUILD_BENCH:BOOL=ON' "$build/CMakeCache.txt" && targets+=(bench_table)
cmake --build "$build" --target "${targets[@]}"
meterlink=$PWD/$build/src/meterlink
meterlog=$PWD/$build/tools/meterlog/meterlog
metersim=$PWD/$build/tools/metersim/metersim

work=$(mktemp -d "${TMPDIR:-/tmp}/meterlink-soak.XXXXXX")
pids=()
sim_window=""
sim_log=""
cleanup() {
    for p in $sim_window $sim_log "${pids[@]}"; do
        kill "$p" 2> /dev/null || true
    done
    wait 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# One simulator per program (a serial line has one reader), each behind a stable link name
# that survives the unplugging. --verbose prints each reading sent, one a line, after the path.
start_sim() { # name
    "$metersim" --rate "$rate" --script walk --link "$work/$1" --verbose \
        >> "$work/$1.frames" 2> /dev/null &
    echo $!
}
wait_link() {
    for _ in $(seq 1 100); do
        [ -e "$work/$1" ] && return 0
        sleep 0.1
    done
    echo "soak: the simulator did not make $work/$1" >&2
    exit 1
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2> /dev/null || echo 0; }
sent() { grep -c '^A' "$work/$1.frames" 2> /dev/null || true; }
# Whether process $1 has the pseudo-terminal behind link $2 open.
holds_line() {
    local tty
    tty=$(readlink -f "$work/$2") || return 1
    for fd in /proc/"$1"/fd/*; do
        [ "$(readlink "$fd" 2> /dev/null)" = "$tty" ] && return 0
    done
    return 1
}

display=""
for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "soak: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 1 50); do
    xdotool getmouselocation > /dev/null 2>&1 && break
    sleep 0.1
done

sim_window=$(start_sim window)
sim_log=$(start_sim meterlog)
wait_link window
wait_link meterlog

runtime_dir=$work/runtime
mkdir -m 700 "$runtime_dir"
XDG_RUNTIME_DIR=$runtime_dir QT_QPA_PLATFORM=xcb METERLINK_COM1="$work/window" \
    "$meterlink" > "$work/meterlink.log" 2>&1 &
window_pid=$!
pids+=("$window_pid")
"$meterlog" --port "$work/meterlog" --limit limitless --reconnect 600 --json \
    --out "$work/rows.xml" > "$work/meterlog.jsonl" 2> "$work/meterlog.err" &
log_pid=$!
pids+=("$log_pid")

# Press "COM Connect" (the client area's 84,3 94x25, below the menu bar).
wid=""
for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --pid "$window_pid" 2> /dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.2
done
[ -n "$wid" ] || { echo "soak: the window did not appear" >&2; exit 1; }
sleep 1
connected=0
for y in 40 36 44 32 48 28 52; do
    xdotool mousemove --window "$wid" 131 "$y" click 1
    sleep 1.5
    if holds_line "$window_pid" window; then
        connected=1
        break
    fi
done
[ "$connected" = 1 ] || { echo "soak: could not press COM Connect" >&2; exit 1; }
echo "soak: $minutes min at $rate readings/s, unplugging every $replug s; samples in $csv"

echo "seconds,window_rss_kb,meterlog_rss_kb,window_rows,meterlog_rows" > "$csv"
window_limit=10000 # the Record menu's default
window_sent_before=0 # readings sent to the window by simulators already ended
window_rows() {
    local n=$((window_sent_before + $(sent window)))
    [ "$n" -gt "$window_limit" ] && n=$window_limit
    echo "$n"
}
meterlog_rows() { grep -c '"recorded":true' "$work/meterlog.jsonl" || true; }
record() { # seconds
    echo "$1,$(rss_kb "$window_pid"),$(rss_kb "$log_pid"),$(window_rows),$(meterlog_rows)" >> "$csv"
}

start=$(date +%s)
end=$((start + minutes * 60))
next_sample=$start
next_replug=$((start + replug))
replugs=0
while :; do
    now=$(date +%s)
    [ "$now" -ge "$end" ] && break
    kill -0 "$window_pid" 2> /dev/null || { echo "soak: the window ended early" >&2; exit 1; }
    kill -0 "$log_pid" 2> /dev/null || { echo "soak: meterlog ended early" >&2; exit 1; }
    if [ "$now" -ge "$next_sample" ]; then
        record $((now - start))
        next_sample=$((next_sample + sample))
    fi
    if [ "$now" -ge "$next_replug" ] && [ $((end - now)) -gt 20 ]; then
        # Unplugged: the simulators end (their lines hang up); plugged in again 5 s later.
        kill "$sim_window" "$sim_log"
        wait "$sim_window" "$sim_log" 2> /dev/null || true
        window_sent_before=$((window_sent_before + $(sent window)))
        mv "$work/window.frames" "$work/window.frames.$replugs"
        sleep 5
        sim_window=$(start_sim window)
        sim_log=$(start_sim meterlog)
        wait_link window
        wait_link meterlog
        replugs=$((replugs + 1))
        next_replug=$((next_replug + replug))
    fi
    sleep 1
done
record $(($(date +%s) - start))
back=no
holds_line "$window_pid" window && holds_line "$log_pid" meterlog && back=yes

kill -TERM "$log_pid"
wait "$log_pid" || true
kill -TERM "$window_pid" "$sim_window" "$sim_log" 2> /dev/null || true
wait "$window_pid" "$sim_window" "$sim_log" 2> /dev/null || true

bench=""
if [ -x "$build/bench/bench_table" ]; then
    bench=$("$build/bench/bench_table" --benchmark_filter='BM_TableMemoryPerRow/1000000' \
        --benchmark_format=json 2> /dev/null \
        | awk -F: '/"bytes_per_row"/ { gsub(/[ ,]/, "", $2); print $2; exit }')
fi

echo
echo "Samples: $csv ($replugs unplug/replug cycles; both programs on the line at the end: $back)"
grep -E '^(meterlog: )?[A-Za-z].*(rows|frames)' "$work/meterlog.err" | tail -n 3 || true
awk -F, -v bench="$bench" '
    NR == 2 { t0 = $1; w0 = $2; l0 = $3; wr0 = $4; lr0 = $5 }
    NR > 1 { t = $1; w = $2; l = $3; wr = $4; lr = $5
             # the window after its table is full: rows no longer grow
             if (wr >= 10000 && wf == "") { wf = $2; wft = $1 } }
    END {
        printf "%-9s %12s %12s %12s %10s %14s\n", "process", "RSS start", "RSS end", "growth", "rows", "growth/row"
        line("window", w0, w, wr - wr0)
        line("meterlog", l0, l, lr - lr0)
        if (bench != "") printf "table benchmark: %.1f bytes per row\n", bench
        if (wf != "" && t > wft)
            printf "window after its table was full (%d rows, from %d s): %+d KiB\n", wr, wft, w - wf
        verdict("window", w0, w, wr - wr0)
        verdict("meterlog", l0, l, lr - lr0)
    }
    function line(name, a, b, rows) {
        printf "%-9s %9d KiB %9d KiB %+9d KiB %10d %11s\n", name, a, b, b - a, rows,
               (rows > 0 ? sprintf("%.1f B", (b - a) * 1024 / rows) : "-")
    }
    # Flat apart from rows: what grew beyond the rows stays within 4 MiB (the allocator and font
    # caches settling). A row may take twice the benchmark figure (or 100 bytes without one):
    # the table grows its arrays by doubling, and RSS counts the room not yet used.
    function verdict(name, a, b, rows,   allowed, extra) {
        allowed = rows * 2 * (bench != "" ? bench : 50) / 1024
        extra = (b - a) - allowed
        printf "%s: %s (growth beyond the rows: %+d KiB)\n", name,
               extra <= 4096 ? "flat apart from rows" : "GROWS beyond the rows", extra
    }' "$csv"
