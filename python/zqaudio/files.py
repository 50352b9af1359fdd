"""Audio files filtered as zq-filter filters them."""

import contextlib
import os
import secrets
from typing import NamedTuple

import numpy as np
import soundfile

from ._engine import Filter

# Frames read, filtered and written at a time: large enough that the per-block overhead
# vanishes, small enough to keep the memory of a long file flat.
BLOCK_FRAMES = 1 << 16


class FileResult(NamedTuple):
    """What filter_file wrote: frames per channel, sample rate in Hz, channel count."""

    frames: int
    rate: int
    channels: int

    @property
    def seconds(self):
        """Duration of the audio in seconds."""
        return self.frames / self.rate


def filter_file(input, output, highpass=None, lowpass=None, order=4, exact=False, subtype=None):
    """Filters the audio file `input` into `output` as zq-filter does, with the settings of
    Filter (cut-offs in Hz, order, exact): the same samples as zq-filter with the same
    settings, bit for bit. Samples are read and written as float32, as zq-filter does; the
    Butterworth design computes in double inside.

    input, output  paths. Anything libsndfile reads is accepted. The container of output
                   follows its extension (.wav, .flac, .ogg, ...); its sample format is the
                   input's, or `subtype` (a soundfile subtype name such as "FLOAT" or
                   "PCM_16"). Integer formats are read as float32 in -1 .. 1 and written back
                   rounded, with clipping and without dither (zq-filter dithers a conversion
                   to 16 bits or fewer; zq-filter --no-dither writes what this writes).
    Output is written to a hidden temporary file beside it, which takes its name only when
    complete: on any failure an existing output is untouched and no partial file is left.

    Returns a FileResult (frames, rate, channels). Raises ValueError for settings refused at
    the file's rate, a NaN or infinite input sample (named by frame and channel), a format
    output cannot hold, or output naming the input itself; OSError (FileNotFoundError,
    PermissionError, ...) for paths that cannot be read or written;
    soundfile.LibsndfileError (a RuntimeError) for input that is not audio;
    FloatingPointError if a filtered sample overflows float32.
    """
    input, output = os.fspath(input), os.fspath(output)
    with open(input, "rb"):  # OSError with the reason, where libsndfile only says "System error"
        pass
    if os.path.exists(output) and os.path.samefile(input, output):
        raise ValueError(f"input and output are the same file ({output!r}); choose another output")
    with soundfile.SoundFile(input) as source:
        stream = Filter(source.samplerate, source.channels, highpass, lowpass, order, exact)
        container = _container_of(output)
        subtype = subtype or source.subtype
        if not soundfile.check_format(container, subtype):
            raise ValueError(
                f"{output!r}: a {container} file cannot hold {subtype} samples; "
                "choose another container or subtype"
            )
        frames = 0
        with _replacing(output) as temporary, soundfile.SoundFile(
            temporary, "w", source.samplerate, source.channels, subtype, format=container
        ) as sink:
            for block in source.blocks(BLOCK_FRAMES, dtype="float32", always_2d=True):
                _require_finite(block, frames, input, ValueError, "is not finite")
                filtered = stream.process(block)
                _require_finite(filtered, frames, input, FloatingPointError,
                                "filters to a value beyond float32")
                sink.write(filtered)
                frames += len(filtered)
    return FileResult(frames, source.samplerate, source.channels)


def _container_of(path):
    extension = os.path.splitext(path)[1][1:].upper()
    if extension not in soundfile.available_formats():
        raise ValueError(
            f"cannot tell the container of {path!r} from its extension; "
            "use one libsndfile writes, e.g. .wav, .flac, .aiff, .caf, .ogg"
        )
    return extension


def _require_finite(samples, first_frame, input, error, what):
    """`error` naming the first non-finite sample by its frame in the file and its channel."""
    finite = np.isfinite(samples)
    if not finite.all():
        frame, channel = np.argwhere(~finite)[0]
        raise error(
            f"{input!r}: the sample at frame {first_frame + int(frame)}, channel {int(channel)} "
            f"{what}; nothing was written"
        )


@contextlib.contextmanager
def _replacing(path):
    """A new hidden file beside `path`, renamed to `path` once the block completes (after an
    fsync, so a crash never leaves a truncated file under that name) and removed if it fails.
    The new file keeps the mode of the file it replaces."""
    directory, name = os.path.split(os.path.abspath(path))
    extension = os.path.splitext(name)[1]
    temporary = os.path.join(directory, f".{name}.{secrets.token_hex(6)}{extension}")
    descriptor = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o666)
    try:
        with contextlib.suppress(FileNotFoundError):
            os.fchmod(descriptor, os.stat(path).st_mode & 0o7777)
        yield temporary
        os.fsync(descriptor)
        os.replace(temporary, path)
    except BaseException:
        with contextlib.suppress(FileNotFoundError):
            os.unlink(temporary)
        raise
    finally:
        os.close(descriptor)
