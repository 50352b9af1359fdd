"""Shared helpers: signals, sound files and the zq-filter built beside the package."""

import os
import subprocess
import sys

import numpy as np
import pytest
import soundfile

ZQ_FILTER = os.environ["ZQ_FILTER"]


def noise(frames, channels, seed=1, level=0.5):
    """Seeded uniform noise as float32, shape (frames,) for mono or (frames, channels)."""
    samples = np.random.default_rng(seed).uniform(-level, level, (frames, channels))
    return samples.astype(np.float32)[:, 0] if channels == 1 else samples.astype(np.float32)


def write_sound(path, samples, rate, subtype="FLOAT"):
    soundfile.write(path, samples, rate, subtype=subtype)
    return str(path)


def run_zq_filter(*arguments):
    subprocess.run([ZQ_FILTER, "--quiet", *map(str, arguments)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def zq_filter(input, output, highpass=None, lowpass=None, order=4, exact=False):
    """Runs zq-filter and returns the samples it wrote as float32."""
    options = ["--exact"] if exact else ["--order", order]
    if highpass is not None:
        options += ["--highpass", highpass]
    if lowpass is not None:
        options += ["--lowpass", lowpass]
    run_zq_filter(*options, input, output)
    return soundfile.read(output, dtype="float32")[0]


def same_bits(a, b):
    return a.shape == b.shape and np.array_equal(a.view(np.uint32), b.view(np.uint32))


def run_batch(*arguments, timeout=120):
    return subprocess.run([sys.executable, "-m", "zqaudio.batch", *map(str, arguments)],
                          capture_output=True, text=True, timeout=timeout)


@pytest.fixture(scope="session", autouse=True)
def package_from_the_build():
    """The tests judge the package that was built (or installed), not a copy elsewhere."""
    import zqaudio

    expected = os.path.realpath(os.environ["PYTHONPATH"].split(os.pathsep)[0])
    assert os.path.realpath(zqaudio.__file__).startswith(expected + os.sep)
