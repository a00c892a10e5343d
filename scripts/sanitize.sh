#!/usr/bin/env bash
# Builds the tests under a sanitizer and runs them; a sanitizer report in any process (a test or a
# program a test starts) fails the run, even when the test itself passed.
#
#   scripts/sanitize.sh asan   AddressSanitizer + UndefinedBehaviorSanitizer, every test (build-asan/)
#   scripts/sanitize.sh tsan   ThreadSanitizer, the tests that start threads (build-tsan/)
#
# Warnings are errors when CI is set (or METERLINK_WERROR=1), as in test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# The tests whose code runs on more than one thread: the HID reader threads and their hand-over
# to the UI thread, the bridge poll's worker, the journal's writer, and the dial's face and the
# chart's background drawn ahead.
thread_tests=(tst_hidcontroller tst_hidlink tst_hidcablesource tst_hidplatform
    tst_bridgepoll tst_bridgelink tst_bridgelibrary tst_recordjournal tst_analogdial tst_chartview)

case "${1:-}" in
asan)
    dir=build-asan
    options=(-DMETERLINK_SANITIZE=ON)
    targets=(all)
    only=()
    ;;
tsan)
    dir=build-tsan
    options=(-DMETERLINK_TSAN=ON)
    targets=("${thread_tests[@]}")
    only=(-R "^($(IFS='|'; echo "${thread_tests[*]}"))\$")
    ;;
*)
    echo "usage: scripts/sanitize.sh asan|tsan" >&2
    exit 2
    ;;
esac

./scripts/install-deps.sh

werror=OFF
if [ -n "${CI:-}" ] || [ "${METERLINK_WERROR:-0}" = "1" ]; then
    werror=ON
fi

# -O1 keeps the build and the runs quick while the reports still name every line.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" \
    -DMETERLINK_WERROR="$werror" -DMETERLINK_BUILD_TESTS=ON -DMETERLINK_BUILD_BENCH=OFF \
    "${options[@]}" > "$dir-configure.log" || { cat "$dir-configure.log" >&2; exit 1; }
cmake --build "$dir" --target "${targets[@]}"

source scripts/test-env.sh
reports=$(mktemp -d)
test_env_cleanup+=("$reports")

# Every process writes its reports into $reports (name.pid), so a report from a program that a
# test started and stopped is not lost in that program's captured output.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:log_path=$reports/asan"
if [ -f tests/lsan.supp ]; then
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
fi
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
# A test that starts a copy of itself as a child forks after its own threads have started; the
# child execs at once, so TSan's refusal of threads after such a fork does not apply.
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:die_after_fork=0:log_path=$reports/tsan"

cd "$dir"
set +e
ctest --output-on-failure -j2 "${only[@]}" > ctest.log 2>&1
result=$?
set -e
if [ $result -ne 0 ]; then
    grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' ctest.log | sed -n '1,400p'
else
    sed -n '/tests passed/,$p' ctest.log
fi
shopt -s nullglob
found=("$reports"/*)
if [ ${#found[@]} -gt 0 ]; then
    echo "Sanitizer reports ($1):" >&2
    for f in "${found[@]}"; do
        echo "==== $(basename "$f")" >&2
        sed -n '1,200p' "$f" >&2
    done
    exit 1
fi
exit $result
