#!/usr/bin/python3
"""Writes butterworth_reference.npz: float64 noise and what scipy's Butterworth filters make of
it, the independent reference for zqaudio's default design. Run from this folder.

Each case i holds rate, channels, highpass, lowpass (0: none) and order in cases[i], its
input in input_i (frames, channels) and scipy's output in output_i.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from butterworth_reference import butterworth_sections  # noqa: E402

import numpy as np  # noqa: E402
import scipy.signal  # noqa: E402

FRAMES = 800
# rate, channels, high-pass Hz, low-pass Hz (0: none), order per side
CASES = [
    (8000, 1, 10, 0, 2),
    (44100, 2, 20, 0, 8),
    (48000, 3, 80, 4000, 4),
    (96000, 1, 0, 200, 6),
    (192000, 2, 1000, 0.49 * 192000, 4),
    (44100, 1, 0, 19000, 8),
]


def main():
    rng = np.random.default_rng(19)
    arrays = {"cases": np.array(CASES, dtype=np.float64)}
    for index, (rate, channels, highpass, lowpass, order) in enumerate(CASES):
        samples = rng.uniform(-0.5, 0.5, (FRAMES, channels))
        arrays[f"input_{index}"] = samples
        arrays[f"output_{index}"] = scipy.signal.sosfilt(
            butterworth_sections(rate, order, highpass, lowpass), samples, axis=0)
    np.savez_compressed("butterworth_reference.npz", **arrays)


if __name__ == "__main__":
    main()
