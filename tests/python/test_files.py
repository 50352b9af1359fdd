"""zqaudio.filter_file against zq-filter, byte for byte, and what it leaves behind when it fails."""

import errno
import os
import resource
import signal
import stat
import subprocess
import sys

import numpy as np
import pytest
import soundfile
import zqaudio
from conftest import noise, run_zq_filter, write_sound


# (input maker, output extension, zq-filter options, filter_file keywords): each keyword once,
# against the option it stands for. The containers are the file layer's, tested through zq-filter.
CASES = [
    (lambda p: write_sound(p / "in.wav", noise(70000, 2), 44100, "PCM_24"), "wav",
     ["--highpass", "300", "--lowpass", "4000", "--format", "pcm16"],
     dict(highpass=300, lowpass=4000, format="pcm16")),
    (lambda p: write_sound(p / "in.flac", noise(30000, 2), 48000, "PCM_24"), "flac",
     ["--exact", "--lowpass", "4000"], dict(lowpass=4000, exact=True)),
    (lambda p: write_sound(p / "in.wav", noise(30000, 6), 48000), "wav",
     ["--mix", "stereo", "--gain", "-3", "--highpass", "100"],
     dict(mix="stereo", gain=-3, highpass=100)),
    (lambda p: write_sound(p / "in.wav", noise(30000, 8), 48000), "wav",
     ["--mix", "mono", "--mix-matrix", "library", "--lowpass", "4000"],
     dict(mix="mono", mix_matrix="library", lowpass=4000)),
]


@pytest.mark.parametrize("make_input, extension, options, keywords", CASES)
def test_filter_file_writes_what_zq_filter_writes(tmp_path, make_input, extension, options,
                                                  keywords):
    source = make_input(tmp_path)
    run_zq_filter(*options, source, tmp_path / f"zq.{extension}")
    result = zqaudio.filter_file(source, tmp_path / f"py.{extension}", **keywords)
    ours, theirs = tmp_path / f"py.{extension}", tmp_path / f"zq.{extension}"
    assert result.frames == soundfile.info(theirs).frames
    assert ours.read_bytes() == theirs.read_bytes()


def test_clipping_is_counted_and_warned(tmp_path):
    source = write_sound(tmp_path / "in.wav", noise(10000, 1, level=0.99), 48000)
    with pytest.warns(UserWarning, match="clipped"):
        result = zqaudio.filter_file(source, tmp_path / "out.wav", lowpass=2000, gain=12,
                                     format="pcm16")
    assert result.clipped > 0


def test_a_failure_leaves_the_output_as_it_was(tmp_path):
    source = write_sound(tmp_path / "in.wav", noise(1000, 1), 48000)
    nan_source = noise(1000, 1)
    nan_source[500] = np.nan
    nan_source = write_sound(tmp_path / "nan.wav", nan_source, 48000)
    (tmp_path / "out.wav").write_bytes(b"precious")
    failures = [
        (lambda: zqaudio.filter_file(source, tmp_path / "out.wav", highpass=5), ValueError),
        (lambda: zqaudio.filter_file(nan_source, tmp_path / "out.wav", 300), ValueError),
        (lambda: zqaudio.filter_file(tmp_path / "gone.wav", tmp_path / "out.wav", 300),
         FileNotFoundError),
        (lambda: zqaudio.filter_file(source, tmp_path / "out.wav", 300, format="vorbis"),
         ValueError),
        (lambda: zqaudio.filter_file(source, source, 300), ValueError),
        (lambda: zqaudio.filter_file(source, tmp_path / "out.wav", 300, bitrate=128), ValueError),
    ]
    for call, error in failures:
        with pytest.raises(error) as raised:
            call()
        assert ".out.wav." not in str(raised.value)  # never the hidden temporary file
    assert (tmp_path / "out.wav").read_bytes() == b"precious"
    assert sorted(os.listdir(tmp_path)) == ["in.wav", "nan.wav", "out.wav"]


def test_a_failed_write_names_the_output_and_the_reason(tmp_path):
    """A full disk in small: a file size limit fails the write, with EFBIG instead of ENOSPC.
    zq-filter's exit status for it is the tool's own test."""
    def limited():
        resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

    source = write_sound(tmp_path / "in.wav", noise(70000, 2), 48000)
    output = tmp_path / "out.wav"
    reason = f'cannot write OUTPUT "{output}": {os.strerror(errno.EFBIG)}'
    python = "import sys, zqaudio\ntry: zqaudio.filter_file(*sys.argv[1:], 300)\n" \
             "except OSError as error: print(error.errno, error.strerror)"

    run = subprocess.run([sys.executable, "-c", python, source, output], preexec_fn=limited,
                         capture_output=True, text=True, timeout=60)
    assert run.stdout == f"{errno.EFBIG} {reason}\n"
    assert os.listdir(tmp_path) == ["in.wav"]


def test_opus_output_is_resampled_after_the_filter_at_the_bitrate_asked(tmp_path):
    """The keywords and the result; what the resampler keeps of the filter is zq-filter's test."""
    seconds, rate = 3, 44100
    source = write_sound(tmp_path / "in.wav", noise(seconds * rate, 2), rate)
    output = tmp_path / "out.opus"
    with pytest.warns(UserWarning, match="48000 Hz: resampled from 44100 Hz"):
        result = zqaudio.filter_file(source, output, lowpass=2000, bitrate=96)
    samples, written_rate = soundfile.read(output)
    assert (result.rate, written_rate, result.frames) == (48000, 48000, len(samples))
    assert abs(len(samples) - seconds * 48000) <= seconds * 100  # a frame per 10 ms
    assert output.stat().st_size * 8 / seconds / 1000 == pytest.approx(96, rel=0.1)


def as_nobody(call):
    """call() in a child dropped to nobody when running as root; the name of what it raised."""
    child = os.fork()
    if child == 0:
        try:
            if os.geteuid() == 0:
                os.setgid(65534)
                os.setuid(65534)
            call()
            os._exit(0)
        except PermissionError:
            os._exit(13)
        except BaseException:
            os._exit(1)
    return os.waitstatus_to_exitcode(os.waitpid(child, 0)[1])


def test_outputs_that_are_not_plain_files_and_truncated_inputs(tmp_path):
    source = write_sound(tmp_path / "in.wav", noise(3000, 1), 48000)
    os.chmod(tmp_path, 0o777)
    (tmp_path / "sub").mkdir(mode=0o777)
    os.symlink("sub/target.wav", tmp_path / "link.wav")
    zqaudio.filter_file(source, tmp_path / "link.wav", 300)
    assert os.path.islink(tmp_path / "link.wav")
    assert soundfile.info(tmp_path / "sub" / "target.wav").frames == 3000
    try:
        os.mknod(tmp_path / "null.wav", 0o666 | stat.S_IFCHR, os.makedev(1, 3))
        zqaudio.filter_file(source, tmp_path / "null.wav", 300)
        assert stat.S_ISCHR(os.stat(tmp_path / "null.wav").st_mode)
    except PermissionError:
        pass  # no device nodes here
    (tmp_path / ".plain.wav.zq-Stale1").write_bytes(b"a killed writer's")
    zqaudio.filter_file(source, tmp_path / "plain.wav", 300)
    assert not (tmp_path / ".plain.wav.zq-Stale1").exists()
    (tmp_path / "locked.wav").write_bytes(b"precious")
    os.chmod(tmp_path / "locked.wav", 0o444)
    assert as_nobody(lambda: zqaudio.filter_file(source, tmp_path / "locked.wav", 300)) == 13
    assert (tmp_path / "locked.wav").read_bytes() == b"precious"
    whole = (tmp_path / "in.wav").read_bytes()
    (tmp_path / "cut.wav").write_bytes(whole[:len(whole) // 3])
    with pytest.warns(UserWarning, match="cut.wav\" is truncated: its header declares 3000"):
        zqaudio.filter_file(tmp_path / "cut.wav", tmp_path / "out.wav", 300)
    with pytest.raises(ValueError, match="--strict refuses it|is truncated"):
        zqaudio.filter_file(tmp_path / "cut.wav", tmp_path / "out.wav", 300, strict=True)
    assert not [name for name in os.listdir(tmp_path) if ".zq-" in name]
