#!/usr/bin/env bash
# Builds the libraries, the module and their tests for 64-bit ARM and runs the tests under
# qemu-user, so the NEON paths are checked on a machine without an ARM processor. Installs its
# Debian packages when missing. The command-line tools and the plugins are left out (the tools
# need aarch64 builds of libsndfile and CLI11; the plugins are tested in Debian's hosts).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/cmake/ensure-packages.sh" aarch64

build="$root/build-aarch64"
toolchain="$root/cmake/aarch64-linux-gnu.cmake"
export ZQ_AARCH64_EXTRA_ROOT="$build/gtest"

# GoogleTest comes as sources; build it once for the target.
if [ ! -f "$ZQ_AARCH64_EXTRA_ROOT/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$build/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF \
        -DCMAKE_INSTALL_PREFIX="$ZQ_AARCH64_EXTRA_ROOT" >/dev/null
    cmake --build "$build/gtest-build" -j "$(nproc)" >/dev/null
    cmake --install "$build/gtest-build" >/dev/null
fi

cmake -S "$root" -B "$build/zq" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DZQ_WARNINGS_AS_ERRORS=ON -DZQ_BUILD_TESTS=ON -DZQ_BUILD_TOOLS=OFF -DZQ_BUILD_PLUGINS=OFF \
    -DZQ_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build/zq" -j "$(nproc)"
ctest --test-dir "$build/zq" --output-on-failure -j "$(nproc)"
