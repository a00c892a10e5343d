#!/usr/bin/env bash
# Start-up time of MeterLink against an empty Qt window of the same size (bench/minimal_window),
# each to the first paint of its mapped window on a real X server (Xvfb on a free display).
# Both programs print the milliseconds from process start to that paint themselves
# (METERLINK_EXIT_AFTER_FIRST_PAINT, support/FirstPaintMark.h); the runs alternate and the
# order within a pair changes every time. Prints each program's median and their ratio.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]      defaults: build, 15 runs of each
#
# BUILD_DIR needs the meterlink and minimal_window targets (METERLINK_BUILD_BENCH=ON).
set -euo pipefail

build=${1:-build}
runs=${2:-15}
meterlink=$build/src/meterlink
minimal=$build/bench/minimal_window
for program in "$meterlink" "$minimal"; do
    if [[ ! -x $program ]]; then
        echo "startup.sh: $program is missing; build the meterlink and minimal_window targets" >&2
        exit 2
    fi
done
command -v Xvfb >/dev/null || { echo "startup.sh: Xvfb is not installed" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to the given descriptor.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    sleep 0.05
done
[[ -s $work/display ]] || { echo "startup.sh: Xvfb did not start" >&2; exit 2; }

export DISPLAY=:$(tr -d '\n' <"$work/display")
export QT_QPA_PLATFORM=xcb
# A state folder of the run's own: no journal of the user's is found and offered for restoring.
mkdir -m 700 "$work/state" "$work/runtime"
export XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/runtime
export METERLINK_EXIT_AFTER_FIRST_PAINT=1

once() {
    local ms
    ms=$(timeout 30 "$1" </dev/null 2>/dev/null | tail -n 1)
    if [[ ! $ms =~ ^[0-9]+(\.[0-9]+)?$ ]]; then
        echo "startup.sh: $1 printed no start-up time" >&2
        exit 1
    fi
    echo "$ms"
}

# One start of each first, so that both find the libraries and fonts in the page cache.
once "$meterlink" >/dev/null
once "$minimal" >/dev/null

for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
        once "$meterlink" >>"$work/meterlink"
        once "$minimal" >>"$work/minimal"
    else
        once "$minimal" >>"$work/minimal"
        once "$meterlink" >>"$work/meterlink"
    fi
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m=$(median "$work/meterlink")
b=$(median "$work/minimal")
printf 'runs of each:             %d\n' "$runs"
printf 'meterlink, median:        %.1f ms\n' "$m"
printf 'minimal window, median:   %.1f ms\n' "$b"
awk -v m="$m" -v b="$b" 'BEGIN { printf "ratio:                    %.2fx\n", m / b }'
