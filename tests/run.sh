#!/usr/bin/env bash
# Builds everything and runs the whole test suite: unit tests, the component loaded as a host
# loads it, zq-filter end to end, the plugins inside Debian's own hosts, the zqaudio Python
# package under pytest, and the installed package built into a consumer project. Installs its
# Debian packages when missing.
#
# Usage: tests/run.sh [--sanitize]   (--sanitize: AddressSanitizer + UndefinedBehaviorSanitizer)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
features=(core plugins python manpage tests)
"$root/cmake/ensure-packages.sh" "${features[@]}"

build="$root/build-tests"
options=(-DCMAKE_BUILD_TYPE=Release -DZQ_WARNINGS_AS_ERRORS=ON -DZQ_BUILD_TESTS=ON
         -DZQ_REQUIRE_ALL_FEATURES=ON)
if [ "${1:-}" = "--sanitize" ]; then
    build="$root/build-sanitize"
    # Sanitized runs need the checks more than the speed of full optimisation.
    options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_SANITIZE=address,undefined
             -DZQ_BUILD_TESTS=ON -DZQ_BUILD_BENCHMARKS=OFF -DZQ_REQUIRE_ALL_FEATURES=ON)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS="suppressions=$root/tests/support/leak-suppressions.txt:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -LE '^live$'
# The live audio graphs run alone afterwards, with three tries: a graph clocked in real time can
# miss a period when the machine is busy, which no filter can be blamed for.
ctest --test-dir "$build" --output-on-failure -L '^live$' --repeat until-pass:3
