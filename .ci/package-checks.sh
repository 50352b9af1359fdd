#!/bin/sh
# Run inside a fresh Debian 12 root by .ci/package-root.sh, from a folder holding the packages
# (debs/), the consumer project (consumer/) and README.md: installs the packages with apt, uses
# every part of them with no environment variable set, and removes them again.
set -eu
here=$(pwd)
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq

echo "-- apt-get install ./debs/*.deb"
apt-get install -y -qq --no-install-recommends ./debs/*.deb >/dev/null
# What the checks use beyond the packages: hosts, man, and a compiler for the consumers.
apt-get install -y -qq --no-install-recommends man-db lilv-utils ladspa-sdk cmake g++ make \
    pkg-config >/dev/null

# Every part shows the packages' version.
version=$(dpkg-query -W -f '${Version}' zq-audio)
minor=$(echo "$version" | cut -d. -f2)
micro=$(echo "$version" | cut -d. -f3)

echo "-- zq-filter"
zq-filter --version | tee version.txt
grep -qx "zq-filter $version" version.txt
python3 -c "import numpy, soundfile
noise = numpy.random.default_rng(1).standard_normal((48000, 2)) * 0.1
soundfile.write('noise.wav', noise, 48000, subtype='FLOAT')"
zq-filter --highpass 300 --lowpass 4000 noise.wav filtered.wav
test -s filtered.wav
man -w zq-filter

echo "-- plugins"
lv2ls | grep -x urn:zq:hl-pass:mono
lv2ls | grep -x urn:zq:hl-pass:stereo
# Debian's analyseplugin searches no folder without LADSPA_PATH; the hosts search /usr/lib/ladspa.
analyseplugin /usr/lib/ladspa/zq-hl-pass.so | grep -E 'Plugin Label: "zq_hl_pass_(mono|stereo)"' |
    wc -l | grep -qx 2
analyseplugin /usr/lib/ladspa/zq-hl-pass.so | grep -q "Maker: \"ZQ Audio $version\""
lv2_ttl=$(dpkg -L zq-audio | grep 'zq-hl-pass.ttl$')
grep -q "lv2:minorVersion $minor ;" "$lv2_ttl"
grep -q "lv2:microVersion $micro ;" "$lv2_ttl"

echo "-- Python"
python3 -c "import numpy, zqaudio
print('zqaudio', zqaudio.__version__, 'from', zqaudio.__file__)
assert zqaudio.__version__ == '$version'
out = zqaudio.Filter(48000, 2, 300, 4000).process(numpy.ones((64, 2), numpy.float32))
assert out.shape == (64, 2) and abs(out[-1, 0]) < 1"
python3 -m zqaudio.batch --help >/dev/null

echo "-- consumers: find_package(ZQAudio) and pkg-config"
cmake -S consumer -B consumer-cmake -DREADME="$here/README.md" >/dev/null
cmake --build consumer-cmake >/dev/null
consumer-cmake/consumer
components=$(pkg-config --variable=componentdir zqaudio)
# shellcheck disable=SC2046 # pkg-config's words are separate options
g++ -std=c++17 -o consumer-pc consumer/consumer.cpp consumer-cmake/readme/*.cpp \
    -DMODULE_PATH="\"$components/zq.filter.audio.hl-pass.so\"" \
    -DCOMPONENT_DIR="\"$components\"" $(pkg-config --cflags --libs zqaudio) -ldl
./consumer-pc

echo "-- apt-get remove"
packages=$(for deb in debs/*.deb; do dpkg-deb -f "$deb" Package; done)
paths=$(for package in $packages; do dpkg -L "$package"; done)
# shellcheck disable=SC2086 # one word per package
apt-get remove -y -qq $packages >/dev/null
left=0
for path in $paths; do
    if [ -e "$path" ] && ! dpkg -S "$path" >/dev/null 2>&1; then
        echo "left behind: $path"
        left=1
    fi
done
[ "$left" -eq 0 ]
echo "-- all package checks passed"
