#!/usr/bin/python3
"""zq-filter's default band on ten minutes of stereo 48 kHz float WAV against cp of the same
file and against GStreamer's audiocheblimit pair, with zq-filter's peak memory; prints each
figure beside its goal.

Usage: /usr/bin/python3 bench/zq_filter_io.py [--build BUILD_DIR] [--zq-filter PROGRAM]
                                              [--before OTHER_ZQ_FILTER] [--runs 7] [--work DIR]
The commands run in turn, one of each per round, so that each ratio compares runs made under
the same load; the input is read once beforehand so that every run finds it cached. Medians
are quoted with the smallest and largest figure beside them.
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np

RATE = 48000
CHANNELS = 2
SECONDS = 600
BAND = ("--highpass", "300", "--lowpass", "4000")
GOAL_VS_GSTREAMER = 0.3
GOAL_VS_CP = 1.3
GOAL_PEAK_MB = 16.0


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--zq-filter", help="the program to time (default: the build's)")
    parser.add_argument("--before", help="another zq-filter, timed in the same rounds")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--work", help="where the files go (default: a new temporary directory)")
    return parser.parse_args()


def write_float_wav(path):
    """Noise at -12 dBFS, in a WAV of IEEE floats."""
    frames = RATE * SECONDS
    samples = np.random.default_rng(1).uniform(-0.25, 0.25, frames * CHANNELS).astype("<f4")
    data = samples.tobytes()
    fmt = struct.pack("<HHIIHH", 3, CHANNELS, RATE, RATE * CHANNELS * 4, CHANNELS * 4, 32)
    with open(path, "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        out.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        out.write(b"data" + struct.pack("<I", len(data)))
        out.write(data)


def gstreamer_pair(source, target):
    return ["gst-launch-1.0", "-q", "filesrc", "location=" + source, "!", "wavparse", "!",
            "audioconvert", "!", "audiocheblimit", "mode=high-pass", "cutoff=300", "poles=4",
            "!", "audiocheblimit", "mode=low-pass", "cutoff=4000", "poles=4", "!",
            "audioconvert", "!", "wavenc", "!", "filesink", "location=" + target]


def timed(command, output):
    """Wall seconds and peak resident megabytes of one run; the output is removed after.
    GNU time reports the peak: a child of this Python process would carry the interpreter's
    own peak into its figure."""
    peak_file = output + ".peak"
    start = time.perf_counter()
    run = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak_file, *command],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    if run.returncode != 0:
        sys.exit("failed: " + " ".join(command) + "\n" + run.stderr.decode(errors="replace"))
    with open(peak_file) as peak:
        kilobytes = int(peak.read().split()[-1])
    os.remove(peak_file)
    os.remove(output)
    return wall, kilobytes / 1000.0


def spread(values):
    return "%.3f (%.3f .. %.3f)" % (statistics.median(values), min(values), max(values))


def verdict(value, goal):
    return "met" if value <= goal else "not met"


def main():
    arguments = parse_arguments()
    program = arguments.zq_filter or os.path.join(arguments.build, "bin", "zq-filter")
    for needed in (program, arguments.before or program, shutil.which("gst-launch-1.0")):
        if not needed or not os.access(needed, os.X_OK):
            sys.exit("missing: %s" % (needed or "gst-launch-1.0"))
    work = arguments.work or tempfile.mkdtemp(prefix="zq-filter-io-")
    os.makedirs(work, exist_ok=True)
    source = os.path.join(work, "input.wav")
    try:
        write_float_wav(source)
        outputs = {name: os.path.join(work, name + ".wav")
                   for name in ("zq", "cp", "gst", "before")}
        commands = {
            "zq": [program, *BAND, source, outputs["zq"]],
            "cp": ["cp", source, outputs["cp"]],
            "gst": gstreamer_pair(source, outputs["gst"]),
        }
        if arguments.before:
            commands["before"] = [arguments.before, *BAND, source, outputs["before"]]
        for name, command in commands.items():  # warm-up: the input cached, the programs loaded
            timed(command, outputs[name])
        walls = {name: [] for name in commands}
        peaks = {name: [] for name in commands}
        for round_index in range(arguments.runs):
            names = list(commands)
            turn = round_index % len(names)
            for name in names[turn:] + names[:turn]:
                wall, peak = timed(commands[name], outputs[name])
                walls[name].append(wall)
                peaks[name].append(peak)
        versus_cp = [zq / cp for zq, cp in zip(walls["zq"], walls["cp"])]
        versus_gst = [zq / gst for zq, gst in zip(walls["zq"], walls["gst"])]
        print("zq-filter %s, %d s of %d-channel %d Hz float WAV, %d rounds" %
              (" ".join(BAND), SECONDS, CHANNELS, RATE, arguments.runs))
        print("wall seconds, median (min .. max): zq-filter %s, cp %s, GStreamer %s" %
              (spread(walls["zq"]), spread(walls["cp"]), spread(walls["gst"])))
        print("%-34s %-26s %-8s %s" % ("measure", "median (min .. max)", "goal", ""))
        rows = (("zq-filter / GStreamer pair", versus_gst, GOAL_VS_GSTREAMER),
                ("zq-filter / cp", versus_cp, GOAL_VS_CP),
                ("zq-filter peak memory (MB)", peaks["zq"], GOAL_PEAK_MB))
        for label, values, goal in rows:
            print("%-34s %-26s <= %-5g %s" % (label, spread(values), goal,
                                               verdict(statistics.median(values), goal)))
        if arguments.before:
            before = walls["before"]
            print("the other zq-filter, paired: wall %s; / cp %s; / GStreamer %s; this / it %s" %
                  (spread(before), spread([b / c for b, c in zip(before, walls["cp"])]),
                   spread([b / g for b, g in zip(before, walls["gst"])]),
                   spread([z / b for z, b in zip(walls["zq"], before)])))
    finally:
        if not arguments.work:
            shutil.rmtree(work)


if __name__ == "__main__":
    main()
