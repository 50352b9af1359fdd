"""Filters many audio files at once on dask: a local cluster of worker processes by default,
or any dask scheduler. Run python3 -m zqaudio.batch --help for the options."""

import argparse
import contextlib
import logging
import os
import signal
import sys
import time
import warnings

import soundfile

from . import _engine
from .files import filter_file

EPILOG = """\
Each INPUT file, and every visible file in an INPUT folder, is written to OUTDIR under its own
name; with --recursive the visible sub-folders of an INPUT folder are filtered too, into the
same sub-folders of OUTDIR. Files libsndfile finds no audio format in (a README, a picture)
are skipped and named in one note. OUTDIR may not be an INPUT folder, lie inside one or
hold an INPUT file.

Outputs are written through a hidden temporary file (.NAME.zq-XXXXXX) renamed when complete,
so an interrupted run leaves no partial output; the temporary files of writers that were
killed are removed at the start of the next run. Each output records the settings that made
it as the last line of its comment tag, after INPUT's own comment, e.g.
  zqaudio batch: highpass=300 lowpass=none order=4 realization=butterworth
(realization exact or butterworth; order 4 for exact). An existing output that records these
settings is skipped, so running the same command again resumes a batch. One that records
other settings or none (a file the batch did not make, or one in a container that keeps no
comment: AU, W64 and the rarer ones; WAV, AIFF, CAF, FLAC, Ogg and MP3 keep it) is not done:
the batch refuses before any work, naming it, unless --overwrite, which replaces every
existing output.

The local cluster listens on 127.0.0.1 only; its dashboard is off unless --dashboard, which
serves it on 127.0.0.1 at a free port and prints its address. With --scheduler, every worker
must see INPUT and OUTDIR under the same paths (a shared file system) and be able to import
zqaudio. If the scheduler is lost mid-batch, the batch says so once, counts the outputs
written by then as done and stops: the same command resumes once a scheduler runs again.

Exit status: 0 every file written or skipped; 1 some file failed (each named on standard
error with its reason); 2 bad command line, OUTDIR among the inputs, existing outputs not made
with these settings, no cluster to run on, or the scheduler lost mid-batch; 130 interrupted
(Ctrl-C: one line, finished files kept)."""

# The local cluster serves only this machine: dask's HTTP servers otherwise listen on every
# interface, and answer task keys, logs and call stacks to anyone who can reach them.
LOOPBACK = "127.0.0.1"

# libsndfile's SF_ERR_UNRECOGNISED_FORMAT: no audio format it knows.
UNRECOGNISED_FORMAT = 1

# Files named in a note before the rest are only counted.
NAMES_IN_A_NOTE = 5

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
    parser.add_argument("--dashboard", action="store_true",
                        help="serve the local cluster's dashboard on 127.0.0.1 and print where")
    parser.add_argument("--overwrite", action="store_true", help="replace existing outputs")
    parser.add_argument("--recursive", action="store_true",
                        help="filter the sub-folders of INPUT folders too, mirrored in OUTDIR")
    parser.add_argument("paths", nargs="+", metavar="PATH",
                        help="INPUT audio files or folders of them, then OUTDIR")
    arguments = parser.parse_args(argv)
    if len(arguments.paths) < 2:
        parser.error("give at least one INPUT and then OUTDIR")
    if arguments.workers < 1:
        parser.error("--workers must be at least 1")
    if arguments.dashboard and arguments.scheduler:
        parser.error("--dashboard is the local cluster's; a scheduler serves its own")
    if arguments.exact and arguments.order is not None:
        parser.error("--exact is the component's order-4 design; drop --exact to choose --order")
    if arguments.highpass is None and arguments.lowpass is None:
        parser.error("give --highpass, --lowpass or both")
    return arguments


def refuse_writing_into_inputs(paths, outdir):
    """ValueError when OUTDIR is an INPUT folder or lies inside one, or an INPUT file lies in
    OUTDIR itself: outputs would replace inputs, or be taken for inputs on the next run."""
    target = os.path.realpath(outdir)
    for path in paths:
        if os.path.isdir(path):
            folder = os.path.realpath(path)
            if os.path.commonpath([target, folder]) == folder:
                where = "is" if target == folder else "lies inside"
                raise ValueError(f"OUTDIR {outdir} {where} the INPUT folder {path}; choose an "
                                 "OUTDIR outside every INPUT folder")
        elif os.path.realpath(os.path.dirname(os.path.abspath(path))) == target:
            raise ValueError(f"INPUT {path} lies in OUTDIR {outdir}, whose output would replace "
                             "it; choose another OUTDIR")


def visible(names):
    return sorted(name for name in names if not name.startswith("."))


def raise_it(error):
    raise error


def input_files(paths, recursive):
    """(input, its output's path inside OUTDIR) for each file named and each visible file in a
    folder named, with recursive in its visible sub-folders too; and how many sub-folders were
    left out. Links to folders are not followed: one could lead back up the tree."""
    found, left_out = [], 0
    for path in paths:
        if not os.path.isdir(path):
            found.append((path, os.path.basename(path)))
            continue
        for folder, subfolders, names in os.walk(path, onerror=raise_it):
            entered = [name for name in visible(subfolders)
                       if recursive and not os.path.islink(os.path.join(folder, name))]
            left_out += len(visible(subfolders)) - len(entered)
            subfolders[:] = entered
            inside = os.path.relpath(folder, path)
            found += [(os.path.join(folder, name), os.path.normpath(os.path.join(inside, name)))
                      for name in visible(names) if os.path.isfile(os.path.join(folder, name))]
    return found, left_out


def is_audio(path):
    """False only for a file libsndfile recognises no audio format in. A damaged audio file is
    audio: it fails, with its reason, when filtered. Only a regular file is opened: reading a
    pipe would take what it holds."""
    if not os.path.isfile(path):
        return True
    try:
        soundfile.SoundFile(path).close()
    except soundfile.LibsndfileError as error:
        return error.code != UNRECOGNISED_FORMAT
    return True


def settings_record(settings):
    """The line each output's comment ends with: what made its samples, in a fixed order."""
    def cut_off(hz):
        return "none" if hz is None else repr(float(hz)).removesuffix(".0")

    realization = "exact" if settings["exact"] else "butterworth"
    return (f"zqaudio batch: highpass={cut_off(settings['highpass'])} "
            f"lowpass={cut_off(settings['lowpass'])} order={settings['order']} "
            f"realization={realization}")


def recorded_settings(output):
    """The last line of output's comment, where the batch records its settings; "" for a file
    without one or that cannot be read. Only a regular file is opened, as in is_audio."""
    if not os.path.isfile(output):
        return ""
    try:
        with soundfile.SoundFile(output) as sound:
            comment = sound.comment or ""
    except (soundfile.LibsndfileError, OSError, RuntimeError):
        return ""
    return comment.rsplit("\n", 1)[-1]


def refuse_outputs_of_other_settings(outputs):
    if outputs:
        it = "it" if len(outputs) == 1 else "them"
        raise ValueError(f"{counted(len(outputs), 'existing output')} not made with these "
                         f"settings (other settings or none recorded): {some_of(outputs)}; "
                         f"--overwrite replaces {it}")


def plan_jobs(found, outdir, overwrite, record):
    """(input, output) pairs to run, the count of outputs kept (those that record `record`),
    and the inputs that are not audio; ValueError for two inputs that would write the same
    output, and for existing outputs made otherwise, unless overwrite."""
    jobs, kept, not_audio, made_otherwise, writers = [], 0, [], [], {}
    for path, name in found:
        output = os.path.join(outdir, name)
        exists = not overwrite and os.path.exists(output)
        if exists and recorded_settings(output) == record:
            kept += 1
        elif not is_audio(path):
            not_audio.append(path)
            continue
        elif exists:
            made_otherwise.append(output)
        else:
            jobs.append((path, output))
        if output in writers:
            raise ValueError(f"{writers[output]} and {path} would both write {output}")
        writers[output] = path
    refuse_outputs_of_other_settings(made_otherwise)
    return jobs, kept, not_audio


def prepare_output_folders(outdir, found, jobs):
    """Makes the folders the jobs write into, and removes from every folder an input's output
    belongs in the temporary files of writers that were killed; returns how many."""
    for folder in {outdir, *(os.path.dirname(output) for _, output in jobs)}:
        os.makedirs(folder, exist_ok=True)
    folders = {os.path.normpath(os.path.join(outdir, os.path.dirname(name)))
               for _, name in found} | {os.path.normpath(outdir)}
    return sum(len(_engine.remove_stale_temporaries(folder))
               for folder in folders if os.path.isdir(folder))


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


class ClusterLost(Exception):
    """The client lost its scheduler: every task still out was cancelled with it. Carries the
    scheduler's address, and the seconds of audio and the failures counted until then."""

    def __init__(self, scheduler, seconds, failures):
        super().__init__(scheduler)
        self.scheduler, self.seconds, self.failures = scheduler, seconds, failures


def loopback_nanny():
    """A worker process whose HTTP server listens on loopback and serves no dashboard."""
    from dask.distributed import Nanny

    class LoopbackNanny(Nanny):
        def __init__(self, *args, **options):
            super().__init__(*args, **options | {"dashboard_address": f"{LOOPBACK}:0",
                                                 "dashboard": False})

    return LoopbackNanny


def local_cluster(arguments):
    from dask.distributed import LocalCluster

    # Ctrl-C reaches the whole process group. The worker processes inherit SIGINT ignored, and
    # Python keeps it so: only the batch answers it, with one line instead of a traceback from
    # every worker. The cluster starts in a second or two; a Ctrl-C meanwhile is lost.
    answer = signal.signal(signal.SIGINT, signal.SIG_IGN)
    try:
        # An explicit port 0 keeps two batches from contending for dask's default 8787.
        cluster = LocalCluster(
            host=LOOPBACK,
            n_workers=arguments.workers,
            threads_per_worker=1,
            processes=True,
            worker_class=loopback_nanny(),
            dashboard_address=f"{LOOPBACK}:0",
            scheduler_kwargs={"dashboard": arguments.dashboard},
        )
    finally:
        signal.signal(signal.SIGINT, answer)
    if arguments.dashboard:
        print(f"zqaudio.batch: dashboard at {cluster.dashboard_link}", file=sys.stderr)
    return cluster


@contextlib.contextmanager
def dask_client(arguments):
    try:
        from dask.distributed import Client
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
    with local_cluster(arguments) as cluster, Client(cluster) as client:
        try:
            yield client
        except KeyboardInterrupt:
            # The scheduler runs in this process: a gather cut off by the interrupt would be
            # logged as an error while the cluster closes.
            logging.disable(logging.ERROR)
            raise


def run_jobs(client, jobs, settings):
    """Filters every job on the cluster; returns (seconds of audio done, failures). ClusterLost
    when the scheduler goes: its cancelled tasks are not the files' failures."""
    from dask.distributed import as_completed

    scheduler = client.scheduler.address
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
            # A task's own errors come back as its outcome: an OSError here is the connection
            # to the scheduler (CommClosedError), lost before the client has noticed.
            if client.status != "running" or isinstance(error, OSError):
                progress.clear()
                # Its attempts to reconnect, cut short as it closes, would only repeat the loss
                # in tracebacks.
                logging.disable(logging.ERROR)
                raise ClusterLost(scheduler, seconds, failures) from error
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


def counted(count, noun):
    return f"{count} {noun}" + ("" if count == 1 else "s")


def some_of(paths):
    rest = len(paths) - NAMES_IN_A_NOTE
    return ", ".join(paths[:NAMES_IN_A_NOTE]) + (f" and {rest} more" if rest > 0 else "")


def say_what_was_set_aside(left_out, recursive, not_audio, removed):
    notes = []
    if left_out:
        why = "links to folders are not followed" if recursive else "--recursive includes them"
        notes.append(f"left out {counted(left_out, 'sub-folder')}; {why}")
    if not_audio:
        verb = "is" if len(not_audio) == 1 else "are"
        notes.append(f"skipped {counted(len(not_audio), 'file')} that {verb} not audio: "
                     + some_of(not_audio))
    if removed:
        notes.append(f"removed {counted(removed, 'temporary file')} of writers that were killed")
    for note in notes:
        print(f"zqaudio.batch: {note}", file=sys.stderr)


def summarise(done, kept, failures, elapsed, seconds):
    speed = f", {seconds / elapsed:.0f}x real time" if elapsed > 0 and seconds > 0 else ""
    print(f"zqaudio.batch: {done} done, {kept} skipped, {failures} failed in {elapsed:.1f} s; "
          f"{duration_text(seconds)} of audio{speed}")


def main(argv=None):
    arguments = parse_arguments(argv)
    *inputs, outdir = arguments.paths
    settings = {
        "highpass": arguments.highpass,
        "lowpass": arguments.lowpass,
        "order": arguments.order or 4,
        "exact": arguments.exact,
    }
    settings["settings_note"] = settings_record(settings)
    try:
        refuse_writing_into_inputs(inputs, outdir)
        found, left_out = input_files(inputs, arguments.recursive)
        pending, kept, not_audio = plan_jobs(found, outdir, arguments.overwrite,
                                             settings["settings_note"])
        removed = prepare_output_folders(outdir, found, pending)
    except (ValueError, OSError) as error:
        print(f"zqaudio.batch: {error}", file=sys.stderr)
        return 2
    say_what_was_set_aside(left_out, arguments.recursive, not_audio, removed)
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
        except ClusterLost as lost:
            # Tasks cut off with the scheduler may still have finished their outputs.
            written = sum(os.path.exists(output) for _, output in pending)
            print(f"zqaudio.batch: lost the dask scheduler at {lost.scheduler}; {written} of "
                  f"{len(pending)} files were written, run the same command again to resume",
                  file=sys.stderr)
            summarise(written, kept, lost.failures, time.monotonic() - started, lost.seconds)
            return 2
        except KeyboardInterrupt:
            print("zqaudio.batch: interrupted; finished files are kept, run the same command "
                  "again to resume", file=sys.stderr)
            return 130
    summarise(len(pending) - failures, kept, failures, elapsed, seconds)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
