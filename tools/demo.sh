#!/bin/sh
# Builds zq-filter and shows it at work: band-filters INPUT (default: a generated test signal
# of tones at 50 Hz, 1 kHz and 10 kHz plus noise, stereo, 48 kHz, 5 s) to 300 Hz .. 4 kHz and
# prints the levels before and after.
#
#   tools/demo.sh [INPUT]          build directory: $BUILD_DIR, default build/
#
# Installs the Debian packages it needs (cmake/packages/core.txt) when they are missing, through
# sudo unless run as root.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
"$root/cmake/ensure-packages.sh" core

# A fresh build directory leaves out the tests and benchmarks, which need more packages; an
# existing one keeps its own choices.
fresh=""
[ -f "$build/CMakeCache.txt" ] || fresh="-DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCHMARKS=OFF"
# shellcheck disable=SC2086 # empty or two options
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZQ_BUILD_TOOLS=ON $fresh >/dev/null
cmake --build "$build" --target zq-filter zq-signal -j2 >/dev/null

bin="$build/bin"
demo="$build/demo"
mkdir -p "$demo"
if [ $# -ge 1 ]; then
    input=$1
    name=$(basename "$input")
    output="$demo/${name%.*}-filtered.wav"
else
    input="$demo/signal.wav"
    output="$demo/filtered.wav"
    "$bin/zq-signal" demo "$input"
fi

echo "\$ zq-filter --highpass 300 --lowpass 4000 $input $output"
"$bin/zq-filter" --highpass 300 --lowpass 4000 "$input" "$output"
echo
"$bin/zq-signal" levels "$input" "$output"
if [ $# -eq 0 ]; then
    echo
    echo "The band 300 Hz .. 4 kHz passes: the 1 kHz tone keeps its level, the 50 Hz tone drops by"
    echo "some 60 dB and the 10 kHz one by some 35 dB, and the broadband level falls with the noise"
    echo "outside the band."
fi
