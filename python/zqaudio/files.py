"""Audio files filtered as zq-filter filters them: the same file layer, through the binding."""

import os
import warnings
from typing import NamedTuple

from . import _engine


class FileResult(NamedTuple):
    """What filter_file wrote: frames per channel, sample rate in Hz, channel count, and the
    samples an integer output clipped."""

    frames: int
    rate: int
    channels: int
    clipped: int = 0

    @property
    def seconds(self):
        """Duration of the audio in seconds."""
        return self.frames / self.rate


def filter_file(input, output, highpass=None, lowpass=None, order=4, exact=False, *,
                format=None, container=None, gain=None, dither=True, mix=None, pairs=False,
                mix_matrix="standard", route=None, strict=False, bitrate=None,
                settings_note=None):
    """Filters the audio file `input` into `output` exactly as zq-filter does with the same
    settings: the same bytes for every container but Ogg (whose stream serial numbers are
    random; its samples are the same).

    highpass, lowpass, order, exact   the filter, as in Filter.
    input, output  paths; "-" is standard input or output. Anything libsndfile reads is
                   accepted, MP3 included, of 1 to 1024 channels (libsndfile's most). The
                   container of output follows its extension (.wav, .flac, .aiff, .caf, .ogg,
                   .opus, .mp3, ...) or `container` (an extension name such as "wav").
    format         output's sample format, one of zq-filter --format's names ("float",
                   "pcm16", "pcm24", ...); default: input's where the container takes it.
    gain           dB applied before the filter, -120 .. 120.
    dither         TPDF dither when output has 16 bits or fewer and input more (default).
    mix, pairs     mix input's channels to a layout first ("mono", "stereo", "5.1", ...), as
                   zq-filter --mix [--pairs]; route: "IN:OUT,..." as zq-filter --route.
    mix_matrix     the down-mix to stereo and mono from 5.0, 5.1 and 7.1, as zq-filter
                   --mix-matrix: "standard" (ITU-R BS.775, g = 1/sqrt 2, LFE dropped:
                   L' = L + g C + g Ls, R' = R + g C + g Rs; from 7.1 also + g Lside to L',
                   + g Rside to R'; mono (L' + R') * 0.5) or "library" (the channel
                   library's, which puts every channel but L and R into both sides; no mono
                   from 5.0). Neither is scaled to stay within full scale.
    strict         refuse an input shorter than its header declares (default: a warning).
    bitrate        kb/s of an MP3 (constant; default 128), Opus (variable, aimed at it;
                   default 64 mono, 48 a channel above) or Vorbis (the quality of that nominal
                   bitrate; default quality 4, about 128 stereo) output; ValueError for other
                   outputs or beyond the codec's range. An Opus or MP3 output at a rate its codec
                   does not take is resampled after the filter to the nearest it does (48 kHz
                   from 44.1 kHz for Opus), with a warning saying so.
    settings_note  a line recording what made output, added as the last line of its comment
                   (after input's own) where the container keeps strings (WAV, AIFF, CAF,
                   FLAC, Ogg, MP3; not AU, W64 and the rarer ones): read it back as
                   soundfile's `comment`. Default: none, and output is zq-filter's.
    Tags, the broadcast extension and cue points are carried where output's container keeps
    them, channel maps are kept and declared. Output is written to a hidden temporary file
    beside it, renamed only when complete: on any failure an existing output is untouched.

    Returns a FileResult. Warns (UserWarning) for what zq-filter notes: samples clipped, a
    truncated input, metadata the container cannot keep, a channel order assumed; an exact
    design that is usable but degraded issues a zqaudio.SoundnessWarning.
    Raises ValueError for settings refused at the file's rate, input that is not audio or
    holds a NaN or infinite sample, a format output cannot hold, or output naming the input
    itself; OSError (FileNotFoundError, PermissionError, ...) for paths that cannot be read
    or written, with the errno of a write that fails (ENOSPC for a full disk) and the reason
    in the message; FloatingPointError if a filtered sample is not finite. Messages name the
    caller's paths.
    """
    said = _engine.filter_file(os.fspath(input), os.fspath(output), highpass, lowpass, order,
                               exact, format, container, gain, dither, mix, pairs, mix_matrix, route,
                               strict, bitrate, settings_note)
    for caution in said["notes"] + [said["truncation"], said["clip_report"]]:
        if caution:
            warnings.warn(caution, stacklevel=2)
    return FileResult(said["frames"], said["rate"], said["channels"], said["clipped"])
