"""python3 -m zqaudio.batch on a local cluster and on a dask scheduler with its own workers."""

import json
import os
import subprocess
import time

import pytest
from conftest import noise, run_batch, same_bits, write_sound, zq_filter
import soundfile

SETTINGS = ("--highpass", "300", "--lowpass", "4000")
GOOD = ("a.wav", "b.wav", "c.flac")


@pytest.fixture
def inputs(tmp_path):
    folder = tmp_path / "in"
    folder.mkdir()
    write_sound(folder / "a.wav", noise(24000, 2, seed=1), 48000)
    write_sound(folder / "b.wav", noise(12000, 1, seed=2), 48000)
    write_sound(folder / "c.flac", noise(20000, 2, seed=3), 44100, "PCM_24")
    return folder


def expect_written(inputs, outdir, tmp_path, exact=False):
    for name in GOOD:
        expected = zq_filter(inputs / name, tmp_path / f"zq-{name}", 300, 4000, exact=exact)
        assert same_bits(soundfile.read(outdir / name, dtype="float32")[0], expected)


def test_local_cluster_reports_a_corrupt_file_and_writes_the_others(inputs, tmp_path):
    (inputs / "bad.wav").write_bytes(b"RIFF\x10\x00\x00\x00WAVEnot audio at all")
    outdir = tmp_path / "out"
    finished = run_batch(*SETTINGS, "--exact", "--workers", "2", inputs, outdir)
    assert finished.returncode == 1
    assert "failed: " + str(inputs / "bad.wav") in finished.stderr
    assert "3 done, 0 skipped, 1 failed" in finished.stdout
    assert sorted(os.listdir(outdir)) == sorted(GOOD)  # no partial or temporary file
    expect_written(inputs, outdir, tmp_path, exact=True)


def stop(processes):
    for process in processes:
        process.terminate()
    for process in processes:
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def scheduler_address(scheduler_file, scheduler):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and scheduler.poll() is None:
        if scheduler_file.exists() and scheduler_file.stat().st_size:
            return json.loads(scheduler_file.read_text())["address"]
        time.sleep(0.1)
    pytest.fail("dask-scheduler did not start")


@pytest.fixture
def scheduler(tmp_path):
    """A dask-scheduler with two dask-worker processes on 127.0.0.1; yields its address."""
    scheduler_file = tmp_path / "scheduler.json"
    common = ["--no-dashboard", "--host", "127.0.0.1"]
    logs = open(tmp_path / "dask.log", "w")
    processes = [subprocess.Popen(["dask-scheduler", *common, "--port", "0",
                                   "--scheduler-file", scheduler_file],
                                  stdout=logs, stderr=logs)]
    try:
        address = scheduler_address(scheduler_file, processes[0])
        for _ in range(2):
            processes.append(subprocess.Popen(
                ["dask-worker", *common, "--nthreads", "1", "--local-directory", tmp_path,
                 address], stdout=logs, stderr=logs))
        yield address
    finally:
        stop(processes[::-1])
        logs.close()


def test_scheduler_with_workers_filters_then_resumes(inputs, tmp_path, scheduler):
    outdir = tmp_path / "out"
    first = run_batch(*SETTINGS, "--scheduler", scheduler, inputs, outdir)
    assert first.returncode == 0, first.stderr
    assert "3 done, 0 skipped, 0 failed" in first.stdout
    expect_written(inputs, outdir, tmp_path)

    written = {name: os.stat(outdir / name).st_mtime_ns for name in GOOD}
    os.remove(outdir / "b.wav")
    again = run_batch(*SETTINGS, "--scheduler", scheduler, inputs, outdir)
    assert again.returncode == 0, again.stderr
    assert "1 done, 2 skipped, 0 failed" in again.stdout
    for name in ("a.wav", "c.flac"):
        assert os.stat(outdir / name).st_mtime_ns == written[name]
    expect_written(inputs, outdir, tmp_path)
