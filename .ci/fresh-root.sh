#!/usr/bin/env bash
# Proves the README's two commands on a machine that has nothing but Debian 12: clones COMMIT
# (default: HEAD of this checkout) into a fresh root and runs, inside chroot, tools/demo.sh and
# then tests/run.sh, each installing what it needs. Needs root.
#
# Usage: .ci/fresh-root.sh [COMMIT]
set -euo pipefail

ci="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$ci")"
commit="$(git -C "$repo" rev-parse "${1:-HEAD}")"
# shellcheck source=fresh-root-lib.sh
. "$ci/fresh-root-lib.sh"

make_fresh_root
git clone --quiet --no-checkout "$repo" "$root/src"
git -C "$root/src" checkout --quiet --detach "$commit"
echo "== commit under test: $(git -C "$root/src" log -1 --oneline)"

timed in_root /src tools/demo.sh
timed in_root /src tests/run.sh
