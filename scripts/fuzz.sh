#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz/, runs each over its seed
# corpus (tests/fuzz/corpus/<target>/) as a regression check, then fuzzes each for SECONDS
# (default 60). New inputs go to fuzz-finds/<target>/corpus, crashes, hangs and memory blow-ups
# to fuzz-finds/<target>/ (git-ignored). Exits non-zero when any target fails.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 600 fuzz_xml
#
# Without clang (clang++ with libFuzzer) it says so and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_serial fuzz_hid fuzz_bridge fuzz_xml fuzz_text fuzz_replay)

if ! command -v clang++ >/dev/null 2>&1 \
    || ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, long) { return 0; }' \
        | clang++ -x c++ -fsanitize=fuzzer -o /dev/null - >/dev/null 2>&1; then
    echo "fuzz: skipped, clang++ with libFuzzer is not installed (apt-get install clang)"
    exit 0
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ \
    -DMETERLINK_FUZZ=ON -DMETERLINK_BUILD_TESTS=OFF -DMETERLINK_BUILD_BENCH=OFF \
    > build-fuzz-configure.log || { cat build-fuzz-configure.log >&2; exit 1; }
cmake --build build-fuzz --target "${targets[@]}" > build-fuzz.log 2>&1 \
    || { tail -n 50 build-fuzz.log >&2; exit 1; }

# Readers run on Qt's offscreen platform like the tests; scratch files stay in one folder.
export QT_QPA_PLATFORM=offscreen
scratch=$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

limits=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 -max_len=65536)
failed=0
for target in "${targets[@]}"; do
    binary=build-fuzz/tests/fuzz/$target
    seeds=tests/fuzz/corpus/${target#fuzz_}
    finds=fuzz-finds/$target
    mkdir -p "$finds/corpus"
    log=$finds/run.log
    # Every seed once: what was found and fixed stays fixed.
    if ! "$binary" "${limits[@]}" "$seeds"/* > "$log" 2>&1; then
        echo "fuzz: $target fails on its seed corpus (see $log)"
        tail -n 30 "$log"
        failed=1
        continue
    fi
    if [ "$seconds" -gt 0 ]; then
        if "$binary" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$finds/" "$finds/corpus" "$seeds" >> "$log" 2>&1; then
            runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -n 1 \
                | grep -o '[0-9]*$' || echo '?')
            echo "fuzz: $target ${seconds}s, $runs runs, nothing found"
        else
            echo "fuzz: $target found a fault; the input is in $finds/ (see $log)"
            grep -E 'ERROR|check failed|SUMMARY|Test unit written' "$log" | head -n 10
            failed=1
        fi
    else
        echo "fuzz: $target seed corpus passes"
    fi
done
exit $failed
