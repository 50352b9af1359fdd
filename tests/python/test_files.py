"""zqaudio.filter_file against zq-filter, and what it leaves behind when it fails."""

import os

import numpy as np
import pytest
import soundfile
import zqaudio
from conftest import noise, same_bits, write_sound, zq_filter


@pytest.mark.parametrize("subtype, extension, settings", [
    ("FLOAT", "wav", (300, 4000)),
    ("PCM_16", "flac", (1000, None, 4, True)),  # integer samples, clipped as zq-filter clips them
    ("FLOAT", "wav", (20, 19000, 6)),
])
def test_filter_file_equals_zq_filter(tmp_path, subtype, extension, settings):
    source = write_sound(tmp_path / f"in.{extension}", noise(70000, 2, level=0.99), 44100,
                         subtype)
    expected = zq_filter(source, tmp_path / f"zq.{extension}", *settings)
    result = zqaudio.filter_file(source, tmp_path / f"py.{extension}", *settings)
    written, rate = soundfile.read(tmp_path / f"py.{extension}", dtype="float32")
    assert result == (70000, 44100, 2) and rate == 44100
    assert soundfile.info(tmp_path / f"py.{extension}").subtype == subtype
    assert same_bits(written, expected)


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
        (lambda: zqaudio.filter_file(source, tmp_path / "out.flac", 300), ValueError),
        (lambda: zqaudio.filter_file(source, source, 300), ValueError),
    ]
    for call, error in failures:
        with pytest.raises(error):
            call()
    assert (tmp_path / "out.wav").read_bytes() == b"precious"
    assert sorted(os.listdir(tmp_path)) == ["in.wav", "nan.wav", "out.wav"]
