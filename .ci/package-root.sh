#!/usr/bin/env bash
# Builds the Debian packages (build-deb/), installs them with apt into a fresh Debian 12 root and
# checks them there with .ci/package-checks.sh. Needs root.
set -euo pipefail

ci="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$ci")"
build="$repo/build-deb"
# shellcheck source=fresh-root-lib.sh
. "$ci/fresh-root-lib.sh"

"$repo/cmake/ensure-packages.sh" core plugins python manpage packaging
rm -f "$build"/*.deb
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCHMARKS=OFF -DZQ_REQUIRE_ALL_FEATURES=ON \
    -DZQ_WARNINGS_AS_ERRORS=ON >/dev/null
timed cmake --build "$build" --target package -j "$(nproc)" >/dev/null
for deb in "$build"/*.deb; do
    echo "== $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done

make_fresh_root
check="$root/check"
mkdir -p "$check/debs"
cp "$build"/*.deb "$check/debs/"
cp -r "$repo/tests/package/consumer" "$repo/README.md" "$ci/package-checks.sh" "$check/"
timed in_root /check ./package-checks.sh
