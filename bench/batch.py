#!/usr/bin/python3
"""Throughput of the zqaudio package: python3 -m zqaudio.batch over 40 one-minute stereo files
with 1 and with 2 local workers, and Filter.process against zq-filter's frame path on one
signal. Prints its figures.

Usage: /usr/bin/python3 bench/batch.py [--build BUILD_DIR] [--files 40] [--keep]
The inputs are generated once in /tmp/zqaudio-bench (16-bit WAV, 48 kHz) and removed at the
end unless --keep.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

import numpy as np

RATE = 48000
SECONDS = 60
SETTINGS = ("--highpass", "80", "--lowpass", "8000")
WORK = "/tmp/zqaudio-bench"


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--files", type=int, default=40)
    parser.add_argument("--keep", action="store_true", help="keep the generated files")
    return parser.parse_args()


def signal(seed):
    """One minute of stereo noise at -12 dBFS, float32, shape (frames, 2)."""
    rng = np.random.default_rng(seed)
    return rng.uniform(-0.25, 0.25, (RATE * SECONDS, 2)).astype(np.float32)


def make_inputs(soundfile, count):
    folder = os.path.join(WORK, "in")
    os.makedirs(folder, exist_ok=True)
    for index in range(count):
        path = os.path.join(folder, f"take{index:03d}.wav")
        if not os.path.exists(path):
            soundfile.write(path, signal(index), RATE, subtype="PCM_16")
    return folder


def best_of(runs, action):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        action()
        times.append(time.perf_counter() - started)
    return min(times)


def batch_run(environment, inputs, workers):
    outdir = os.path.join(WORK, f"out-{workers}")
    shutil.rmtree(outdir, ignore_errors=True)
    started = time.perf_counter()
    finished = subprocess.run(
        [sys.executable, "-m", "zqaudio.batch", *SETTINGS, "--workers", str(workers), inputs,
         outdir], env=environment, capture_output=True, text=True, check=True)
    wall = time.perf_counter() - started
    filtering = float(re.search(r" in ([0-9.]+) s;", finished.stdout).group(1))
    shutil.rmtree(outdir)
    return wall, filtering


def cpu_scaling(environment):
    """How much faster two processes filter than one, without files or dask: what the
    machine's cores allow at the moment (others' work on a shared machine lowers it)."""
    passes = 8
    program = ("import sys, numpy, zqaudio\n"
               "x = numpy.random.default_rng(1).uniform(-0.25, 0.25, (48000 * 60, 2))\n"
               "x = x.astype(numpy.float32)\n"
               "for _ in range(int(sys.argv[1])): zqaudio.Filter(48000, 2, 80, 8000).process(x)")

    def in_processes(count):
        started = time.perf_counter()
        running = [subprocess.Popen([sys.executable, "-c", program, str(passes // count)],
                                    env=environment) for _ in range(count)]
        for process in running:
            process.wait()
        return time.perf_counter() - started

    return min(in_processes(1) for _ in range(3)) / min(in_processes(2) for _ in range(3))


def report_batch(environment, inputs, count):
    print(f"batch: {count} files of {SECONDS} s stereo 16-bit {RATE} Hz, band 80 Hz .. 8 kHz, "
          "best of 3")
    print(f"  {'workers':>7} {'wall s':>8} {'filter s':>9} {'files/s':>8} {'x real time':>12}")
    # Best of three, the worker counts taking turns, so that a burst of other work on the
    # machine does not decide the scaling.
    runs = [{workers: batch_run(environment, inputs, workers) for workers in (1, 2)}
            for _ in range(3)]
    times = {workers: (min(run[workers][0] for run in runs), min(run[workers][1] for run in runs))
             for workers in (1, 2)}
    for workers, (wall, filtering) in times.items():
        print(f"  {workers:>7} {wall:8.2f} {filtering:9.2f} {count / wall:8.2f} "
              f"{count * SECONDS / wall:12.0f}")
    print(f"  scaling 1 -> 2 workers: {times[1][0] / times[2][0]:.2f}x wall (with the cluster's "
          f"start), {times[1][1] / times[2][1]:.2f}x filtering")
    print(f"  the machine's own ceiling, Filter.process alone in 1 and 2 processes: "
          f"{cpu_scaling(environment):.2f}x")


def report_process(zqaudio, soundfile, zq_filter):
    samples = signal(1000)
    frames = len(samples)

    def whole():
        zqaudio.Filter(RATE, 2, 80, 8000).process(samples)

    def in_frames():
        stream = zqaudio.Filter(RATE, 2, 80, 8000)
        for start in range(0, frames, 1024):
            stream.process(samples[start:start + 1024])

    source = os.path.join(WORK, "signal.wav")
    soundfile.write(source, samples, RATE, subtype="FLOAT")
    target = os.path.join(WORK, "filtered.wav")

    def tool(*settings):
        return lambda: subprocess.run([zq_filter, "--quiet", "--frames", "1024", *settings,
                                       source, target], check=True, stdout=subprocess.DEVNULL)

    print(f"one signal: {SECONDS} s stereo float {RATE} Hz, Butterworth band 80 Hz .. 8 kHz, "
          "order 4, best of 5")
    rows = [
        ("Filter.process, one call", best_of(5, whole)),
        ("Filter.process, 1024-frame blocks", best_of(5, in_frames)),
        ("filter_file (float WAV to float WAV)",
         best_of(5, lambda: zqaudio.filter_file(source, target, 80, 8000))),
        ("zq-filter --precise --frames 1024 (same)", best_of(5, tool("--precise", *SETTINGS))),
        ("zq-filter, no filter (its file I/O alone)", best_of(5, tool())),
    ]
    # zq-filter's own filtering: what it takes beyond the same file I/O without a filter.
    rows.append(("zq-filter's frame path (the difference)", rows[3][1] - rows[4][1]))
    for name, seconds in rows:
        rate = 2 * frames / seconds / 1e6
        print(f"  {name:<42} {seconds * 1000:8.1f} ms {rate:8.1f} M samples/s "
              f"{SECONDS / seconds:7.0f}x real time")


def main():
    arguments = parse_arguments()
    package = os.path.join(arguments.build, "python")
    sys.path.insert(0, package)
    import soundfile
    import zqaudio

    environment = dict(os.environ, PYTHONPATH=package)
    inputs = make_inputs(soundfile, arguments.files)
    try:
        report_batch(environment, inputs, arguments.files)
        report_process(zqaudio, soundfile, os.path.join(arguments.build, "bin", "zq-filter"))
    finally:
        if not arguments.keep:
            shutil.rmtree(WORK)


if __name__ == "__main__":
    main()
