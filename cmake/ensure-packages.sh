#!/usr/bin/env bash
# Installs the Debian packages of the named features that are not installed yet. Each feature's
# packages are listed once, in cmake/packages/FEATURE.txt, for every script that installs.
# Usage: cmake/ensure-packages.sh FEATURE...   e.g. cmake/ensure-packages.sh core plugins
set -euo pipefail

lists="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/packages"
missing=()
for feature in "$@"; do
    [ -f "$lists/$feature.txt" ] || { echo "No package list for feature '$feature'" >&2; exit 2; }
    for package in $(sed 's/#.*//' "$lists/$feature.txt"); do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing+=("$package")
    done
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
