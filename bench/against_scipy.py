#!/usr/bin/python3
"""zqaudio's default filter against scipy.signal.sosfilt with the same Butterworth sections,
side by side in one process: band 300 Hz - 4 kHz at 48 kHz, order 4 per side, float64, about
4 M samples per run, the median of 5. Prints each speed-up beside its goal, and the cost per
channel-sample of 2 and 8 channels against mono. Beside them, what a plain copy of the input
into a fresh array costs (numpy's x.copy()): a floor under any filter that returns a new array,
scipy's included.

Usage: /usr/bin/python3 bench/against_scipy.py [--build BUILD_DIR] [--samples N] [--runs R]
"""

import argparse
import os
import statistics
import sys
import time

import numpy as np

RATE, HIGHPASS, LOWPASS, ORDER = 48000, 300, 4000, 4
# channels: fewest times faster than scipy that meets the goal
SPEEDUP_GOALS = {1: 1.5, 2: 3.0, 8: 6.0}
# channels: most cost per channel-sample, relative to mono, that meets the goal
PER_CHANNEL_GOALS = {2: 0.55, 8: 0.2}


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--samples", type=int, default=4 << 20, help="samples per run")
    parser.add_argument("--runs", type=int, default=5)
    return parser.parse_args()


def median_seconds(runs, action):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        action()
        times.append(time.perf_counter() - started)
    return statistics.median(times)


def main():
    arguments = parse_arguments()
    sys.path.insert(0, os.path.join(arguments.build, "python"))
    import scipy.signal
    import zqaudio

    sections = np.vstack([scipy.signal.butter(ORDER, HIGHPASS, "highpass", fs=RATE, output="sos"),
                          scipy.signal.butter(ORDER, LOWPASS, "lowpass", fs=RATE, output="sos")])
    print(f"band {HIGHPASS} Hz - {LOWPASS} Hz at {RATE} Hz, order {ORDER} per side, float64, "
          f"{arguments.samples} samples per run, median of {arguments.runs}")
    print(f"{'channels':>8} {'zqaudio M/s':>12} {'scipy M/s':>10} {'copy M/s':>9} {'speed-up':>9} "
          f"{'goal':>8}")
    zq_ns = {}
    for channels, goal in SPEEDUP_GOALS.items():
        frames = arguments.samples // channels
        x = np.random.default_rng(channels).uniform(-0.5, 0.5, (frames, channels))
        stream = zqaudio.Filter(RATE, channels, HIGHPASS, LOWPASS, ORDER)
        ours = median_seconds(arguments.runs, lambda: stream.process(x))
        theirs = median_seconds(arguments.runs, lambda: scipy.signal.sosfilt(sections, x, axis=0))
        copy = median_seconds(arguments.runs, x.copy)
        zq_ns[channels] = ours / x.size * 1e9
        verdict = "met" if theirs / ours >= goal else "NOT met"
        print(f"{channels:>8} {x.size / ours / 1e6:>12.0f} {x.size / theirs / 1e6:>10.0f} "
              f"{x.size / copy / 1e6:>9.0f} {theirs / ours:>8.2f}x {'>= %.1fx' % goal:>8} {verdict}")
    for channels, goal in PER_CHANNEL_GOALS.items():
        ratio = zq_ns[channels] / zq_ns[1]
        verdict = "met" if ratio <= goal else "NOT met"
        print(f"cost per channel-sample, {channels} channels / mono: {ratio:.2f} "
              f"(goal <= {goal}) {verdict}")


if __name__ == "__main__":
    main()
