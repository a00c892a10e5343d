#!/usr/bin/env bash
# Sets up and runs the tests: installs what is missing, builds the program, its tests and its
# benchmarks into build-test/, runs the fuzz targets over their seeds and for a few seconds each
# (scripts/fuzz.sh; METERLINK_FUZZ_SECONDS, default 10, 0 for the seeds alone; skipped without
# clang), runs every test under ctest on Qt's offscreen platform, and exits with ctest's result
# (or 1 when a fuzz target failed). Warnings are errors when CI is set (or METERLINK_WERROR=1).
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

fuzz_result=0
./scripts/fuzz.sh "${METERLINK_FUZZ_SECONDS:-10}" || fuzz_result=1

source scripts/test-env.sh

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
if [ $result -eq 0 ] && [ $fuzz_result -ne 0 ]; then
    echo "a fuzz target failed (see fuzz-finds/)"
    exit 1
fi
exit $result
