"""Filters many audio files at once on dask: a local cluster of worker processes by default,
or any dask scheduler. Run python3 -m zqaudio.batch --help for the options."""

import argparse
import contextlib
import os
import sys
import time
import warnings

from .files import filter_file

EPILOG = """\
Each INPUT file (or every file in an INPUT folder) is written to OUTDIR under its own name,
through a hidden temporary file renamed when complete, so an interrupted run leaves no
partial file. Outputs that already exist are skipped unless --overwrite: running the same
command again resumes a batch.

With --scheduler, every worker must see INPUT and OUTDIR under the same paths (a shared
file system) and be able to import zqaudio.

Exit status: 0 every file written or skipped; 1 some file failed (each named on standard
error with its reason); 2 bad command line, or no cluster to run on."""

# Progress is redrawn at most this often.
PROGRESS_INTERVAL_SECONDS = 0.2


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="python3 -m zqaudio.batch",
        usage="%(prog)s [options] INPUT... OUTDIR",
        description="Filter audio files on a dask cluster with the zqaudio engine.",
        epilog=EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument("--highpass", type=float, metavar="HZ", help="high-pass cut-off")
    parser.add_argument("--lowpass", type=float, metavar="HZ", help="low-pass cut-off")
    realization = parser.add_mutually_exclusive_group()
    realization.add_argument(
        "--exact", action="store_true",
        help="the component's single-precision order-4 design instead of the Butterworth",
    )
    realization.add_argument(
        "--precise", action="store_true",
        help="the Butterworth design, -3 dB at each cut-off (the default; kept for scripts)",
    )
    parser.add_argument(
        "--order", type=int, choices=(2, 4, 6, 8),
        help="order of each side of the Butterworth design (default 4)",
    )
    cluster = parser.add_mutually_exclusive_group()
    cluster.add_argument(
        "--scheduler", metavar="ADDRESS", help="an existing dask scheduler, e.g. tcp://host:8786"
    )
    cluster.add_argument(
        "--workers",
        type=int,
        metavar="N",
        default=len(os.sched_getaffinity(0)),
        help="worker processes of the local cluster (default: this machine's cores)",
    )
    parser.add_argument("--overwrite", action="store_true", help="replace existing outputs")
    parser.add_argument("paths", nargs="+", metavar="PATH",
                        help="INPUT audio files or folders of them, then OUTDIR")
    arguments = parser.parse_args(argv)
    if len(arguments.paths) < 2:
        parser.error("give at least one INPUT and then OUTDIR")
    if arguments.workers < 1:
        parser.error("--workers must be at least 1")
    if arguments.exact and arguments.order is not None:
        parser.error("--exact is the component's order-4 design; drop --exact to choose --order")
    if arguments.highpass is None and arguments.lowpass is None:
        parser.error("give --highpass, --lowpass or both")
    return arguments


def input_files(paths):
    """The files named, with each folder replaced by the visible files directly inside it."""
    for path in paths:
        if os.path.isdir(path):
            names = sorted(name for name in os.listdir(path) if not name.startswith("."))
            yield from (os.path.join(path, name) for name in names
                        if os.path.isfile(os.path.join(path, name)))
        else:
            yield path


def plan_jobs(inputs, outdir):
    """(input, output) pairs; ValueError for two inputs that would write the same output."""
    jobs, writers = [], {}
    for path in inputs:
        output = os.path.join(outdir, os.path.basename(path))
        if output in writers:
            raise ValueError(f"{writers[output]} and {path} would both write {output}")
        writers[output] = path
        jobs.append((path, output))
    return jobs


def filter_one(input, output, settings):
    """One task: ("done", seconds of audio, warnings) or ("failed", reason, warnings)."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            seconds = filter_file(input, output, **settings).seconds
        except (OSError, RuntimeError, ValueError, FloatingPointError) as error:
            return "failed", str(error), [str(w.message) for w in caught]
    return "done", seconds, [str(w.message) for w in caught]


class Progress:
    """A one-line count of finished files on standard error, when that is a terminal."""

    def __init__(self, total):
        self.total = total
        self.shown = sys.stderr.isatty()
        self.drawn = False
        self.drawn_at = 0.0

    def update(self, finished, failed, final=False):
        now = time.monotonic()
        if not self.shown or (not final and now - self.drawn_at < PROGRESS_INTERVAL_SECONDS):
            return
        self.drawn, self.drawn_at = True, now
        width = 30
        filled = width * finished // self.total
        sys.stderr.write(
            f"\r[{'#' * filled}{'.' * (width - filled)}] {finished}/{self.total} files"
            + (f", {failed} failed" if failed else "")
        )
        sys.stderr.flush()

    def clear(self):
        if self.drawn:
            sys.stderr.write("\r\033[K")
            self.drawn = False


@contextlib.contextmanager
def dask_client(arguments):
    try:
        from dask.distributed import Client, LocalCluster
    except ImportError as missing:
        raise OSError(f"{missing}; install dask.distributed (Debian: python3-distributed)")

    if arguments.scheduler:
        with Client(arguments.scheduler, timeout="20s") as client:
            if not client.scheduler_info()["workers"]:
                print(
                    f"zqaudio.batch: no worker has joined {arguments.scheduler} yet; waiting",
                    file=sys.stderr,
                )
            yield client
        return
    with LocalCluster(
        n_workers=arguments.workers,
        threads_per_worker=1,
        processes=True,
        dashboard_address=None,
    ) as cluster, Client(cluster) as client:
        yield client


def run_jobs(client, jobs, settings):
    """Filters every job on the cluster; returns (seconds of audio done, failures)."""
    from dask.distributed import as_completed

    # Workers run in other folders, or on other machines: they get absolute paths.
    futures = {client.submit(filter_one, os.path.abspath(input), os.path.abspath(output),
                             settings, pure=False): input
               for input, output in jobs}
    progress = Progress(len(futures))
    seconds, failures = 0.0, 0
    for finished, future in enumerate(as_completed(futures), start=1):
        input = futures[future]
        try:
            status, outcome, cautions = future.result()
        except Exception as error:  # the task itself died: a lost worker, a crash
            status, outcome, cautions = "failed", f"{type(error).__name__}: {error}", []
        progress.clear()
        for caution in cautions:
            print(f"zqaudio.batch: warning: {input}: {caution}", file=sys.stderr)
        if status == "done":
            seconds += outcome
        else:
            failures += 1
            print(f"zqaudio.batch: failed: {input}: {outcome}", file=sys.stderr)
        progress.update(finished, failures, final=finished == len(futures))
    progress.clear()
    return seconds, failures


def duration_text(seconds):
    minutes, seconds = divmod(seconds, 60.0)
    hours, minutes = divmod(int(minutes), 60)
    return f"{hours}:{minutes:02d}:{seconds:04.1f}"


def main(argv=None):
    arguments = parse_arguments(argv)
    *inputs, outdir = arguments.paths
    try:
        jobs = plan_jobs(input_files(inputs), outdir)
        os.makedirs(outdir, exist_ok=True)
    except (ValueError, OSError) as error:
        print(f"zqaudio.batch: {error}", file=sys.stderr)
        return 2
    pending = [job for job in jobs if arguments.overwrite or not os.path.exists(job[1])]
    settings = {
        "highpass": arguments.highpass,
        "lowpass": arguments.lowpass,
        "order": arguments.order or 4,
        "exact": arguments.exact,
    }
    seconds, failures, elapsed = 0.0, 0, 0.0
    if pending:
        try:
            with dask_client(arguments) as client:
                started = time.monotonic()
                seconds, failures = run_jobs(client, pending, settings)
                elapsed = time.monotonic() - started
        except (OSError, TimeoutError) as error:
            print(f"zqaudio.batch: no cluster to run on: {error}", file=sys.stderr)
            return 2
        except KeyboardInterrupt:
            print("zqaudio.batch: interrupted; finished files are kept, run the same command "
                  "again to resume", file=sys.stderr)
            return 130
    done = len(pending) - failures
    speed = f", {seconds / elapsed:.0f}x real time" if elapsed > 0 and seconds > 0 else ""
    print(
        f"zqaudio.batch: {done} done, {len(jobs) - len(pending)} skipped, {failures} failed "
        f"in {elapsed:.1f} s; {duration_text(seconds)} of audio{speed}"
    )
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
