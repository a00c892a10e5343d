#!/usr/bin/env bash
# The window's processor use while a meter streams: Xvfb on a free display, the meter simulator
# at RATE readings per second into a pseudo-terminal, the real meterlink on it with "COM Connect"
# pressed (recording is on from the start, so the table grows), and after a warm-up the window's
# user + system time over SECONDS, as a percentage of one core.
#
#   bench/window-cpu.sh RATE SECONDS
#
# Environment: METERLINK_BUILD_DIR (default build; relative to the repository or absolute),
# WINDOW_CPU_SCRIPT the simulator's script (default dcv), WINDOW_CPU_WARMUP seconds (default 5),
# WINDOW_CPU_PERF a file to record a perf profile of the window into over the same time,
# WINDOW_CPU_PERF_FREQ its sampling rate (default 1000 per second), WINDOW_CPU_LOG a file for the
# window's own output (kept after the run).
set -euo pipefail

rate=${1:-}
seconds=${2:-}
if ! [[ "$rate" =~ ^[0-9]+([.][0-9]+)?$ ]] || ! [[ "$seconds" =~ ^[0-9]+$ ]] \
    || [ "$seconds" -lt 1 ]; then
    echo "usage: bench/window-cpu.sh RATE SECONDS" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
build=${METERLINK_BUILD_DIR:-build}
script=${WINDOW_CPU_SCRIPT:-dcv}
warmup=${WINDOW_CPU_WARMUP:-5}
meterlink=$(realpath "$build/src/meterlink")
metersim=$(realpath "$build/tools/metersim/metersim")
for program in "$meterlink" "$metersim"; do
    [ -x "$program" ] || { echo "window-cpu: $program is not built" >&2; exit 1; }
done
for tool in Xvfb xdotool; do
    command -v "$tool" > /dev/null || { echo "window-cpu: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/meterlink-cpu.XXXXXX")
pids=()
cleanup() {
    for p in "${pids[@]}"; do
        kill "$p" 2> /dev/null || true
    done
    wait 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number itself and writes it to the file.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "window-cpu: Xvfb did not start" >&2; exit 1; }
display=":$(head -n 1 "$work/display")"
export DISPLAY=$display
x_up=0
for _ in $(seq 1 50); do
    if xdotool getmouselocation > /dev/null 2>&1; then
        x_up=1
        break
    fi
    sleep 0.1
done
if [ "$x_up" != 1 ]; then
    echo "window-cpu: the X server on $display does not answer; its output:" >&2
    sed 's/^/  /' "$work/xvfb.log" >&2
    exit 1
fi

"$metersim" --rate "$rate" --script "$script" --link "$work/line" --verbose \
    > "$work/frames" 2> /dev/null &
pids+=($!)
for _ in $(seq 1 100); do
    [ -e "$work/line" ] && break
    sleep 0.1
done
[ -e "$work/line" ] || { echo "window-cpu: the simulator did not start" >&2; exit 1; }

mkdir -m 700 "$work/runtime"
log=${WINDOW_CPU_LOG:-$work/meterlink.log}
XDG_RUNTIME_DIR=$work/runtime XDG_STATE_HOME=$work/state QT_QPA_PLATFORM=xcb \
    METERLINK_COM1="$work/line" "$meterlink" > "$log" 2>&1 &
window_pid=$!
pids+=("$window_pid")

holds_line() {
    local tty
    tty=$(readlink -f "$work/line") || return 1
    for fd in /proc/"$window_pid"/fd/*; do
        [ "$(readlink "$fd" 2> /dev/null)" = "$tty" ] && return 0
    done
    return 1
}

# Press "COM Connect" (the client area's 84,3 94x25, below the menu bar).
wid=""
for _ in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --pid "$window_pid" 2> /dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.2
done
if [ -z "$wid" ]; then
    echo "window-cpu: the window did not appear; its output:" >&2
    sed 's/^/  /' "$log" >&2
    exit 1
fi
sleep 1
connected=0
for y in 40 36 44 32 48 28 52; do
    xdotool mousemove --window "$wid" 131 "$y" click 1
    sleep 1.5
    if holds_line; then
        connected=1
        break
    fi
done
[ "$connected" = 1 ] || { echo "window-cpu: could not press COM Connect" >&2; exit 1; }
# The pointer leaves the window, so no hover effect repaints a button.
xdotool mousemove 1000 760
sleep "$warmup"

# The window's time on a processor, in nanoseconds: the scheduler's own account of each of its
# threads (clock ticks round 30 s at 4 readings/s to a tenth of the figure). A thread that ends
# takes its account with it, so the accounts are read every second and an ended thread counts
# with the last one read (what it ran in its last second, its ending, is missed: a thread pool's
# idle thread ending costs microseconds). Without the scheduler's accounts, the process's user
# and system clock ticks.
declare -A first=() last=()
read_accounts() {
    local f tid v rest
    for f in /proc/"$window_pid"/task/*/schedstat; do
        tid=${f%/schedstat}
        tid=${tid##*/}
        read -r v rest < "$f" 2> /dev/null || continue
        last[$tid]=$v
    done
}
hz=$(getconf CLK_TCK)
clock_ticks() { awk -v hz="$hz" '{ printf "%.0f", ($14 + $15) * 1e9 / hz }' "/proc/$window_pid/stat"; }
sent() { grep -c '^A' "$work/frames" || true; }
precise=0
[ -r "/proc/$window_pid/schedstat" ] && precise=1
c0=$(clock_ticks)
s0=$(sent)
start=$(date +%s%N)
if [ "$precise" = 1 ]; then
    read_accounts
    for tid in "${!last[@]}"; do
        first[$tid]=${last[$tid]}
    done
fi
perf_pid=""
if [ -n "${WINDOW_CPU_PERF:-}" ]; then
    perf record -q --call-graph dwarf,16384 -F ${WINDOW_CPU_PERF_FREQ:-1000} -o "$WINDOW_CPU_PERF" -p "$window_pid" \
        -- sleep "$seconds" > /dev/null 2>&1 &
    perf_pid=$!
fi
finish=$((start + seconds * 1000000000))
while :; do
    now=$(date +%s%N)
    [ "$now" -ge "$finish" ] && break
    left=$(((finish - now) / 1000000))
    if [ "$left" -ge 1000 ]; then
        sleep 1
    else
        sleep "$(printf '0.%03d' "$left")"
    fi
    [ "$precise" = 1 ] && read_accounts
done
c1=$(clock_ticks)
s1=$(sent)
[ -n "$perf_pid" ] && wait "$perf_pid"
if [ "$precise" = 1 ]; then
    t=0
    for tid in "${!last[@]}"; do
        t=$((t + last[$tid] - ${first[$tid]:-0}))
    done
else
    t=$((c1 - c0))
fi
end=$(date +%s%N)
kill -0 "$window_pid" 2> /dev/null || { echo "window-cpu: the window ended early" >&2; exit 1; }
holds_line || { echo "window-cpu: the window let go of the line" >&2; exit 1; }

awk -v t="$t" -v ns="$((end - start))" -v n="$((s1 - s0))" \
    -v rate="$rate" -v script="$script" 'BEGIN {
        wall = ns / 1e9
        printf "window CPU: %.2f %% of one core over %.1f s (%d readings sent, %.1f/s, script %s)\n",
               100 * t / 1e9 / wall, wall, n, n / wall, script
    }'
