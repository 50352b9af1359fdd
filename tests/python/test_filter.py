"""zqaudio.Filter, the designs and the response against zq-filter and scipy."""

import itertools
import os

import numpy as np
import pytest
import scipy.signal
import zqaudio
from conftest import noise, same_bits, write_sound, zq_filter

SPLITS = (1, 7, 64, 1000, 4096)

# rate, channels, highpass, lowpass: each side and both. Which sections each runs is the
# engine's and the component's test.
EXACT_CASES = [
    (48000, 2, 1000, 4000),
    (44100, 1, None, 8000),
    (96000, 3, 2000, None),
]


def in_uneven_blocks(stream, samples):
    blocks, start = [], 0
    for size in itertools.cycle(SPLITS):
        if start >= len(samples):
            return np.concatenate(blocks)
        blocks.append(stream.process(samples[start:start + size]))
        start += size


@pytest.mark.parametrize("rate, channels, highpass, lowpass", EXACT_CASES)
def test_streaming_over_uneven_splits_equals_zq_filter(tmp_path, rate, channels, highpass,
                                                       lowpass):
    samples = noise(2 * sum(SPLITS) + 5, channels)
    source = write_sound(tmp_path / "in.wav", samples, rate)
    expected = zq_filter(source, tmp_path / "out.wav", highpass, lowpass, exact=True)
    stream = zqaudio.Filter(rate, channels, highpass=highpass, lowpass=lowpass, exact=True)
    assert same_bits(in_uneven_blocks(stream, samples), expected)


@pytest.mark.parametrize("exact", [False, True])
def test_sixteen_channels_are_each_filtered_as_alone(exact):
    samples = noise(3000, 16)
    together = zqaudio.Filter(48000, 16, highpass=300, exact=exact).process(samples)
    for channel in range(16):
        alone = zqaudio.Filter(48000, 1, highpass=300, exact=exact).process(samples[:, channel])
        assert same_bits(together[:, channel], alone)


def test_reset_starts_a_new_stream():
    samples = noise(3000, 2)
    stream = zqaudio.Filter(48000, 2, highpass=300, lowpass=4000)
    first = stream.process(samples)
    assert not same_bits(stream.process(samples), first)
    stream.reset()
    assert same_bits(stream.process(samples), first)


def test_an_instance_is_initialised_once_and_never_used_without():
    blank = zqaudio.Filter.__new__(zqaudio.Filter)
    for use in (lambda: blank.process(np.zeros(4, np.float32)), blank.reset,
                lambda: blank.rate, lambda: blank.channels, lambda: repr(blank)):
        with pytest.raises(TypeError, match="never initialised"):
            use()
    stream = zqaudio.Filter(48000, 1, highpass=300)
    with pytest.raises(TypeError, match="already initialised"):
        stream.__init__(44100, 2)
    with pytest.raises(TypeError, match="method called on <class 'int'>"):
        zqaudio.Filter.reset(5)
    assert (stream.rate, stream.channels) == (48000, 1)


@pytest.mark.parametrize("exact", [False, True])
def test_dtypes_and_layouts(exact):
    """float32 stays float32; float64 stays float64 in the Butterworth, which then computes
    the same double values its float32 output rounds; exact rounds float64 to float32."""
    samples = noise(500, 2)
    expected = zqaudio.Filter(48000, 2, lowpass=4000, exact=exact).process(samples)
    assert expected.dtype == np.float32
    given = np.asfortranarray(samples.astype(np.float64))
    wide = zqaudio.Filter(48000, 2, lowpass=4000, exact=exact).process(given)
    assert wide.dtype == (np.float32 if exact else np.float64)
    assert same_bits(wide.astype(np.float32), expected)
    mono = zqaudio.Filter(48000, 1, lowpass=4000, exact=exact).process(samples[:, :1])
    assert mono.shape == (500, 1) and same_bits(mono[:, 0], expected[:, 0])
    # Only the copies made for the dtype or the layout are filtered in place.
    assert same_bits(given.astype(np.float32), samples) and not same_bits(expected, samples)


@pytest.mark.parametrize("dtype, bad, frame, exact", [
    (np.float32, np.nan, 7, False),
    (np.float64, -np.inf, 7, False),
    (np.float64, np.nan, 5000, False),  # past the chunk of frames already filtered
    (np.float32, np.inf, 5000, True),
    (np.float16, np.nan, 5000, False),  # a copy made for the dtype, checked in place
])
def test_non_finite_samples_are_refused_and_the_history_kept(dtype, bad, frame, exact):
    first, later = noise(300, 2).astype(dtype), noise(6000, 2, seed=2).astype(dtype)
    poisoned = later.copy()
    poisoned[frame, 1], poisoned[frame + 2, 0] = bad, bad
    stream = zqaudio.Filter(48000, 2, highpass=300, exact=exact)
    stream.process(first)
    with pytest.raises(ValueError, match=f"frame {frame}, channel 1"):
        stream.process(poisoned)
    fresh = zqaudio.Filter(48000, 2, highpass=300, exact=exact)
    fresh.process(first)
    assert np.array_equal(stream.process(later), fresh.process(later))


def stereo(samples):
    return zqaudio.Filter(48000, 2, lowpass=4000).process(samples)


def exact_mono(samples):
    return zqaudio.Filter(48000, 1, highpass=300, exact=True).process(samples)


@pytest.mark.parametrize("call, arguments, error, words", [
    (zqaudio.Filter, (48000, 0), ValueError, "1 to 1024 channels"),
    (zqaudio.Filter, (48000, 1025), ValueError, "1 to 1024 channels"),
    (zqaudio.Filter, (0, 1), ValueError, "positive finite"),
    (zqaudio.Filter, (float("nan"), 1), ValueError, "positive finite"),
    (zqaudio.Filter, (float("inf"), 1), ValueError, "positive finite"),
    (zqaudio.Filter, ("48000", 1), TypeError, ""),
    (zqaudio.Filter, (48000, 1, 5), ValueError, "high-pass cut-off 5 Hz is outside 10 Hz"),
    (lambda *a: zqaudio.Filter(*a, exact=True), (48000, 1, 20), ValueError,
     "high-pass cut-off 20 Hz is outside 50 Hz.*drop exact=True"),
    (zqaudio.Filter, (48000, 1, None, 30000), ValueError, "low-pass cut-off 30000 Hz is outside"),
    (zqaudio.Filter, (48000, 1, 1000, 1000), ValueError, "inverted"),
    (zqaudio.Filter, (48000, 1, None, 4000, 6, True), ValueError, "order-4.*drop exact=True"),
    (zqaudio.Filter, (48000, 1, None, 4000, 3), ValueError, "2, 4, 6 or 8"),
    (zqaudio.Filter, (96000, 1, None, 200, 4, True), ValueError, "unstable.*drop exact=True"),
    (stereo, (np.zeros(8, np.float32),), ValueError, r"shape \(frames, 2\), not \(8,\)"),
    (stereo, (np.zeros((8, 3), np.float32),), ValueError, r"not \(8, 3\)"),
    (stereo, (np.zeros((8, 2, 1), np.float32),), ValueError, "shape"),
    (stereo, (np.zeros((8, 2), np.int16),), TypeError, "integer PCM"),
    (stereo, (np.zeros((8, 2), np.complex64),), TypeError, "floating-point"),
    (exact_mono, (np.array([0.0, 0.5, 1e300]),), ValueError,
     "frame 2, channel 0 is inf as float32"),
    (zqaudio.butter_lowpass, (0.5,), ValueError, r"\(0, 0.5\)"),
    (zqaudio.butter_highpass, (0.1, 9), ValueError, "1 .. 8"),
    (zqaudio.butter_bandpass, (0.2, 0.1), ValueError, "below"),
    (zqaudio.butter_bandpass, (0.1, 0.2, 6), ValueError, "4, 8, 12 or 16"),
    (zqaudio.response, (48000, None, 1000, 4, False, 1), ValueError, "at least 2"),
])
@pytest.mark.filterwarnings("ignore:overflow encountered in cast")
def test_refusals(call, arguments, error, words):
    with pytest.raises(error, match=words):
        call(*arguments)


@pytest.mark.parametrize("design, arguments, scipy_arguments", [
    (zqaudio.butter_lowpass, (0.1, 4), (4, 0.2)),
    (zqaudio.butter_lowpass, (0.01, 2), (2, 0.02)),
    (zqaudio.butter_highpass, (0.2, 8), (8, 0.4, "highpass")),
    (zqaudio.butter_bandpass, (0.1, 0.2, 4), (2, [0.2, 0.4], "bandpass")),
])
def test_designs_match_scipy(design, arguments, scipy_arguments):
    """The denominators and the shape of the numerators (the band-pass is scaled to unit gain
    at the middle of the band, scipy's at the geometric centre)."""
    a, b = design(*arguments)
    reference_b, reference_a = scipy.signal.butter(*scipy_arguments)
    assert a.dtype == b.dtype == np.float32
    np.testing.assert_allclose(a, reference_a, rtol=1e-5, atol=1e-6)
    np.testing.assert_allclose(b / b[0], reference_b / reference_b[0], rtol=1e-5, atol=1e-6)


def scipy_sections(rate, highpass, lowpass, order):
    sections = [scipy.signal.butter(order, hz, kind, fs=rate, output="sos")
                for hz, kind in ((highpass, "highpass"), (lowpass, "lowpass")) if hz]
    return np.concatenate(sections)


def test_default_float64_equals_stored_scipy_butterworth():
    """Relative to each output's peak; the worst figure is printed for the record."""
    stored = np.load(os.path.join(os.path.dirname(__file__), "data", "butterworth_reference.npz"))
    worst = 0.0
    for index, (rate, channels, highpass, lowpass, order) in enumerate(stored["cases"]):
        stream = zqaudio.Filter(rate, int(channels), highpass or None, lowpass or None,
                                int(order))
        got = in_uneven_blocks(stream, stored[f"input_{index}"])
        reference = stored[f"output_{index}"]
        assert got.dtype == np.float64
        worst = max(worst, np.max(np.abs(got - reference)) / np.max(np.abs(reference)))
    print(f"worst deviation from scipy: {worst:.3g} of the peak")
    assert worst <= 1e-9


def test_exact_response_is_that_of_the_design():
    frequencies, magnitudes = zqaudio.response(48000, lowpass=1000, exact=True, n=64)
    a, b = zqaudio.butter_lowpass(np.float32(1000 / 48000), 4)
    _, reference = scipy.signal.freqz(b.astype(np.float64), a.astype(np.float64),
                                      worN=frequencies, fs=48000)
    assert frequencies.shape == magnitudes.shape == (64,) and frequencies[-1] == 24000
    np.testing.assert_allclose(magnitudes, 20 * np.log10(np.abs(reference)), atol=1e-6)


def test_precise_response_is_scipys():
    frequencies, magnitudes = zqaudio.response(96000, 100, 20000, order=6)
    _, reference = scipy.signal.sosfreqz(scipy_sections(96000, 100, 20000, 6),
                                         worN=frequencies[1:], fs=96000)
    np.testing.assert_allclose(magnitudes[1:], 20 * np.log10(np.abs(reference)), atol=0.01)


def test_plot_response_draws_or_names_matplotlib():
    try:
        import matplotlib

        matplotlib.use("Agg")
    except ImportError:
        with pytest.raises(ImportError, match="matplotlib"):
            zqaudio.plot_response(48000, lowpass=1000)
        return
    axes = zqaudio.plot_response(48000, lowpass=1000, n=32)
    frequencies = axes.lines[0].get_xdata()
    assert len(frequencies) == 32 and frequencies[0] <= 10 and frequencies[-1] == 24000
    assert np.allclose(np.diff(np.log(frequencies)), np.log(frequencies[1] / frequencies[0]))
    assert axes.get_xscale() == "log" and axes.get_ylim() == (-100, 6)
    assert axes.get_title() == "Butterworth order 4: low-pass 1000 Hz at 48000 Hz"
    exact = zqaudio.plot_response(48000, highpass=300, exact=True, n=32)
    assert exact.get_title() == "exact (the component's design): high-pass 300 Hz at 48000 Hz"
