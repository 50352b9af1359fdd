#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-fuzz/) and runs each for SECONDS (default 60), starting from the seed corpus in
# fuzz/corpus/, in rounds of a fresh process (at most ten minutes or 300000 executions each).
# New inputs go to build-fuzz/corpus/, crashes to build-fuzz/artifacts/.
# Installs its Debian packages when missing.
#
# Usage: tests/fuzz.sh [SECONDS] [TARGET...]   e.g. tests/fuzz.sh 3600 fuzz_component
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/cmake/ensure-packages.sh" core fuzzers

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_component fuzz_channel fuzz_dsp fuzz_sound_input fuzz_plugin
    fuzz_option_values fuzz_sound_output)

build="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZQ_BUILD_FUZZERS=ON -DZQ_SANITIZE=address,undefined -DZQ_WARNINGS_AS_ERRORS=ON \
    -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# A smaller quarantine of freed memory, and freed pages handed back to the system, keep a long run
# of the file targets (the codecs allocate buffers of every size) well below libFuzzer's RSS limit.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=64:allocator_release_to_os_interval_ms=500
export LSAN_OPTIONS=suppressions="$root/fuzz/system_leaks.supp":print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/artifacts"
# libsndfile keeps what libvorbis allocated for each Ogg Vorbis INPUT whose headers it refuses
# (5.8 kB; 6 to 16 % of fuzz_sound_input's mutated inputs, 0.9 GB a million executions) and
# libvorbisenc a little of each 5.1 setup: a long run goes in rounds of a fresh process, resuming
# from the corpus, so that what they keep stays well below libFuzzer's RSS limit.
round_seconds=600
round_runs=300000
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    log="$build/$target.log"
    runs=0
    start=$SECONDS
    while (((left = seconds - (SECONDS - start)) > 0)); do
        if ! "$build/fuzz/$target" -max_total_time=$((left < round_seconds ? left : round_seconds)) \
            -runs=$round_runs -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
            "$corpus" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
            tail -n 60 "$log"
            echo "fuzz.sh: $target failed; the input is in $build/artifacts/" >&2
            exit 1
        fi
        runs=$((runs + $(sed -n 's/^stat::number_of_executed_units: *//p' "$log")))
    done
    echo "fuzz.sh: $target: $runs executions in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs"
done
