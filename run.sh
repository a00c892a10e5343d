#!/usr/bin/env bash
# Sets up and starts MeterLink: installs what is missing, builds a Release build into build/,
# then starts the program with the arguments given here.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMETERLINK_BUILD_TESTS=OFF -DMETERLINK_BUILD_BENCH=OFF > build-configure.log \
    || { cat build-configure.log >&2; exit 1; }
cmake --build build --target meterlink

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "MeterLink needs a graphical display and none is set (DISPLAY is empty); without a screen, run it under a virtual one: xvfb-run -a ./run.sh" >&2
    exit 1
fi

exec ./build/src/meterlink "$@"
