#!/usr/bin/env bash
# Sets up and runs the tests: installs what is missing, builds the program, its tests and its
# benchmarks into build-test/, runs every test under ctest on Qt's offscreen platform, and exits
# with ctest's result. Warnings are errors when CI is set (or METERLINK_WERROR=1).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

werror=OFF
if [ -n "${CI:-}" ] || [ "${METERLINK_WERROR:-0}" = "1" ]; then
    werror=ON
fi

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DMETERLINK_WERROR="$werror" \
    -DMETERLINK_BUILD_TESTS=ON -DMETERLINK_BUILD_BENCH=ON > build-test-configure.log \
    || { cat build-test-configure.log >&2; exit 1; }
cmake --build build-test

export QT_QPA_PLATFORM=offscreen
runtime_dir=$(mktemp -d)
chmod 700 "$runtime_dir"
export XDG_RUNTIME_DIR="$runtime_dir"
# Journals of unsaved rows go to a folder of the run's own: none from the user's own runs is
# found (and offered for restoring) by the windows the tests start.
state_dir=$(mktemp -d)
export XDG_STATE_HOME="$state_dir"
trap 'rm -rf "$runtime_dir" "$state_dir"' EXIT

cd build-test
set +e
ctest --output-on-failure -j2 > ctest.log 2>&1
result=$?
set -e
# The failures in full, then ctest's summary.
if [ $result -ne 0 ]; then
    grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' ctest.log | sed -n '1,400p'
else
    sed -n '/tests passed/,$p' ctest.log
fi
exit $result
