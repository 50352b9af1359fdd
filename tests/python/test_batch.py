"""python3 -m zqaudio.batch on a local cluster and on a dask scheduler with its own workers,
and the clean-up of the temporary files killed writers leave."""

import contextlib
import fcntl
import json
import os
import re
import signal
import subprocess
import time

import sys

import psutil
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


def test_local_cluster_writes_the_audio_and_accounts_for_the_rest(inputs, tmp_path):
    (inputs / "bad.wav").write_bytes(b"RIFF\x10\x00\x00\x00WAVEnot audio at all")
    (inputs / "README.txt").write_text("not a sound\n")
    (inputs / "more").mkdir()
    write_sound(inputs / "more" / "d.wav", noise(100, 1), 48000)
    outdir = tmp_path / "out"
    outdir.mkdir()
    # A killed writer's temporary file, one a live writer (this process) holds, and a hidden
    # file of the user's.
    kept = [".b.wav.zq-Lv3x9Q", ".a.wav.Kd8s2P"]
    for name in [".a.wav.zq-Kd8s2P", *kept]:
        (outdir / name).write_bytes(b"\0" * 4096)
    with open(outdir / kept[0], "rb+") as writing:
        fcntl.flock(writing, fcntl.LOCK_EX)
        finished = run_batch(*SETTINGS, "--exact", "--workers", "2", inputs, outdir)
    assert finished.returncode == 1
    assert "failed: " + str(inputs / "bad.wav") in finished.stderr
    assert "3 done, 0 skipped, 1 failed" in finished.stdout
    assert f"skipped 1 file that is not audio: {inputs / 'README.txt'}" in finished.stderr
    assert "left out 1 sub-folder; --recursive includes them" in finished.stderr
    assert "removed 1 temporary file " in finished.stderr
    # No partial or temporary file of this run's; the live writer's and the user's stay.
    assert sorted(os.listdir(outdir)) == sorted([*GOOD, *kept])
    expect_written(inputs, outdir, tmp_path, exact=True)


def listening(pid):
    """(address, port) of each TCP socket process pid listens on, and whether it is its
    children's (the workers'); none once it has ended."""
    try:
        batch = psutil.Process(pid)
        processes = [batch, *batch.children(recursive=True)]
        return {(*connection.laddr, process != batch) for process in processes
                for connection in process.connections("tcp")
                if connection.status == psutil.CONN_LISTEN}
    except psutil.Error:
        return set()


def test_two_local_clusters_side_by_side_listen_on_loopback_only(tmp_path):
    folder = tmp_path / "in"
    folder.mkdir()
    for index in range(8):
        write_sound(folder / f"f{index}.wav", noise(240000, 2, seed=index), 48000)
    batches = [subprocess.Popen([sys.executable, "-m", "zqaudio.batch", *SETTINGS, *options,
                                 "--workers", "1", folder, tmp_path / f"out{index}"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
               for index, options in enumerate((["--dashboard"], []))]
    sockets = set()
    while any(batch.poll() is None for batch in batches):
        sockets |= set().union(*(listening(batch.pid) for batch in batches))
        time.sleep(0.05)
    (dashboard_out, dashboard_err), (plain_out, plain_err) = (b.communicate() for b in batches)
    for batch, stdout, stderr in zip(batches, (dashboard_out, plain_out),
                                     (dashboard_err, plain_err)):
        assert batch.returncode == 0 and "8 done, 0 skipped, 0 failed" in stdout, stderr
        assert "already in use" not in stderr
    assert {address for address, _, _ in sockets} == {"127.0.0.1"}, sockets
    assert any(worker for _, _, worker in sockets) and 8787 not in {p for _, p, _ in sockets}
    dashboard = re.findall(r"dashboard at http://127\.0\.0\.1:(\d+)/status", dashboard_err)
    assert len(dashboard) == 1 and "dashboard" not in plain_err
    assert (int(dashboard[0]), False) in {(port, worker) for _, port, worker in sockets}


def test_refuses_outdir_among_the_inputs_before_any_work(inputs, tmp_path):
    before = sorted(os.listdir(inputs))
    for paths in ((inputs, inputs), (inputs, inputs / "out"), (inputs / "a.wav", inputs)):
        finished = run_batch(*SETTINGS, "--workers", "1", *paths)
        assert finished.returncode == 2, paths
        assert "choose an" in finished.stderr and finished.stdout == ""
    assert sorted(os.listdir(inputs)) == before


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


@contextlib.contextmanager
def dask_scheduler(tmp_path, workers):
    """A dask-scheduler with its own dask-worker processes on 127.0.0.1; yields its address and
    its process."""
    scheduler_file = tmp_path / "scheduler.json"
    common = ["--no-dashboard", "--host", "127.0.0.1"]
    logs = open(tmp_path / "dask.log", "w")
    processes = [subprocess.Popen(["dask-scheduler", *common, "--port", "0",
                                   "--scheduler-file", scheduler_file],
                                  stdout=logs, stderr=logs)]
    try:
        address = scheduler_address(scheduler_file, processes[0])
        for _ in range(workers):
            processes.append(subprocess.Popen(
                ["dask-worker", *common, "--nthreads", "1", "--local-directory", tmp_path,
                 address], stdout=logs, stderr=logs))
        yield address, processes[0]
    finally:
        stop(processes[::-1])
        logs.close()


@pytest.fixture
def scheduler(tmp_path):
    with dask_scheduler(tmp_path, workers=2) as (address, _):
        yield address


def test_scheduler_with_workers_filters_a_tree_resumes_and_tells_other_settings(
        inputs, tmp_path, scheduler):
    (inputs / "more" / "deeper").mkdir(parents=True)
    write_sound(inputs / "more" / "deeper" / "d.wav", noise(3000, 2, seed=4), 48000)
    outdir = tmp_path / "out"
    first = run_batch(*SETTINGS, "--recursive", "--scheduler", scheduler, inputs, outdir)
    assert first.returncode == 0, first.stderr
    assert "4 done, 0 skipped, 0 failed" in first.stdout
    expect_written(inputs, outdir, tmp_path)
    expected = zq_filter(inputs / "more" / "deeper" / "d.wav", tmp_path / "zq-d.wav", 300, 4000)
    assert same_bits(soundfile.read(outdir / "more" / "deeper" / "d.wav", dtype="float32")[0],
                     expected)

    written = {name: os.stat(outdir / name).st_mtime_ns for name in GOOD}
    os.remove(outdir / "b.wav")
    again = run_batch(*SETTINGS, "--recursive", "--scheduler", scheduler, inputs, outdir)
    assert again.returncode == 0, again.stderr
    assert "1 done, 3 skipped, 0 failed" in again.stdout
    for name in ("a.wav", "c.flac"):
        assert os.stat(outdir / name).st_mtime_ns == written[name]
    expect_written(inputs, outdir, tmp_path)

    # Outputs of other settings are not done: refused before any work, named, and replaced.
    other = ("--highpass", "200", "--lowpass", "4000", "--recursive", "--scheduler", scheduler)
    refused = run_batch(*other, inputs, outdir)
    assert refused.returncode == 2 and refused.stdout == ""
    assert ("4 existing outputs not made with these settings (other settings or none "
            f"recorded): {outdir / 'a.wav'}, ") in refused.stderr
    assert refused.stderr.rstrip().endswith("--overwrite replaces them")
    replaced = run_batch(*other, "--overwrite", inputs, outdir)
    assert "4 done, 0 skipped, 0 failed" in replaced.stdout, replaced.stderr
    assert soundfile.SoundFile(outdir / "c.flac").comment == \
        "zqaudio batch: highpass=200 lowpass=4000 order=4 realization=butterworth"


def test_a_lost_scheduler_is_reported_once_and_the_rerun_finishes(tmp_path):
    folder = tmp_path / "in"
    folder.mkdir()
    names = [f"f{index:02d}.wav" for index in range(16)]
    for index, name in enumerate(names):
        write_sound(folder / name, noise(480000, 2, seed=index), 48000)
    outdir = tmp_path / "out"
    with dask_scheduler(tmp_path, workers=1) as (address, scheduler):
        batch = subprocess.Popen([sys.executable, "-m", "zqaudio.batch", *SETTINGS,
                                  "--scheduler", address, folder, outdir],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 60
        while not (outdir.exists() and set(os.listdir(outdir)) & set(names)):
            assert time.monotonic() < deadline and batch.poll() is None
            time.sleep(0.02)
        scheduler.kill()
        stdout, stderr = batch.communicate(timeout=60)
    assert batch.returncode == 2, stderr
    written = sorted(set(os.listdir(outdir)) & set(names))
    lost = re.findall(f"lost the dask scheduler at {address}; (\\d+) of 16 files were written",
                      stderr)
    # The worker may finish the file it holds after the batch has counted.
    assert len(lost) == 1 and 1 <= int(lost[0]) <= len(written) < 16, stderr
    assert "failed" not in stderr and "Cancelled" not in stderr
    assert f"{lost[0]} done, 0 skipped, 0 failed" in stdout

    # Ctrl-C as a terminal sends it, to the batch and its workers alike: one line, no traceback.
    interrupted = subprocess.Popen([sys.executable, "-m", "zqaudio.batch", *SETTINGS,
                                    "--workers", "1", folder, outdir], start_new_session=True,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    while set(os.listdir(outdir)) & set(names) == set(written):
        assert time.monotonic() < deadline + 60 and interrupted.poll() is None
        time.sleep(0.02)
    os.killpg(interrupted.pid, signal.SIGINT)
    stderr = interrupted.communicate(timeout=60)[1].splitlines()
    assert interrupted.returncode == 130, stderr
    assert all(line.startswith("zqaudio.batch: ") for line in stderr), stderr
    assert stderr[-1].startswith("zqaudio.batch: interrupted; finished files are kept")

    written = sorted(set(os.listdir(outdir)) & set(names))
    again = run_batch(*SETTINGS, "--workers", "1", folder, outdir)
    assert again.returncode == 0, again.stderr
    assert f"{16 - len(written)} done, {len(written)} skipped, 0 failed" in again.stdout
    for name in names:
        expected = zq_filter(folder / name, tmp_path / "zq.wav", 300, 4000)
        assert same_bits(soundfile.read(outdir / name, dtype="float32")[0], expected), name
