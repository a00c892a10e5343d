#!/usr/bin/env bash
# Sets up and starts MeterLink: installs what is missing, builds a Release build into build/,
# then starts the program with the arguments given here.
#
# Without --com (and without METERLINK_COM1 in the environment) it starts a demo: the meter
# simulator streams readings into a pseudo-terminal that MeterLink has as COM 1, so pressing
# "COM Connect" shows live readings. METERLINK_DEMO=0 turns the demo off.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMETERLINK_BUILD_TESTS=OFF -DMETERLINK_BUILD_BENCH=OFF > build-configure.log \
    || { cat build-configure.log >&2; exit 1; }
cmake --build build --target meterlink metersim meterlog

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "MeterLink needs a graphical display and none is set (DISPLAY is empty); without a screen, run it under a virtual one: xvfb-run -a ./run.sh" >&2
    exit 1
fi

demo=1
[ "${METERLINK_DEMO:-1}" = "0" ] && demo=0
[ -n "${METERLINK_COM1:-}" ] && demo=0
for arg in "$@"; do
    case "$arg" in
        --com|--com=*|--help|-h|--version|-v) demo=0 ;;
    esac
done

if [ "$demo" = "0" ]; then
    exec ./build/src/meterlink "$@"
fi

# The demo meter: a simulator on a pseudo-terminal, reached through a stable link name.
demo_dir=$(mktemp -d "${TMPDIR:-/tmp}/meterlink-demo.XXXXXX")
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$demo_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

./build/tools/metersim/metersim --link "$demo_dir/meter" > "$demo_dir/sim.out" &
sim_pid=$!
for _ in $(seq 1 50); do
    [ -L "$demo_dir/meter" ] && break
    sleep 0.1
done
if [ ! -L "$demo_dir/meter" ]; then
    echo "The meter simulator did not start; starting MeterLink without the demo." >&2
    ./build/src/meterlink "$@"
    exit $?
fi

echo "Demo: a simulated meter is on COM 1 ($demo_dir/meter). Press \"COM Connect\" to see its readings."
./build/src/meterlink --com "1=$demo_dir/meter" "$@"
