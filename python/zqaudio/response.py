"""The magnitude response that filter settings give."""

import numpy as np

from . import _engine

# The lowest frequency plot_response draws, unless the Nyquist frequency is below ten times it.
PLOT_LOWEST_HZ = 10.0
# plot_response's level axis: the stopband to about -100 dB, and room above 0 dB for a boost.
PLOT_LEVELS_DB = (-100.0, 6.0)


def response(rate, highpass=None, lowpass=None, order=4, exact=False, n=512):
    """Magnitude response of the filter that Filter(rate, ..., highpass, lowpass, order, exact)
    runs, as that realization computes it (for exact=True: its float coefficients, so the
    damage of an unsound design shows).

    Returns (frequencies, magnitude_db): two float64 arrays of shape (n,), the frequencies
    evenly spaced from 0 Hz to rate / 2 inclusive, the magnitudes 20 * log10 |H| in dB.
    Raises ValueError for settings the engine refuses at this rate, or n below 2.
    """
    return _magnitudes(rate, highpass, lowpass, order, exact, n, np.linspace(0.0, rate / 2.0, n))


def _magnitudes(rate, highpass, lowpass, order, exact, n, frequencies):
    if int(n) != n or n < 2:
        raise ValueError(f"n must be a whole number of at least 2, not {n!r}")
    magnitudes = _engine.magnitude_db(rate, highpass, lowpass, order, exact, frequencies)
    return frequencies, np.asarray(magnitudes, dtype=np.float64)


def _title(rate, highpass, lowpass, order, exact):
    sides = [f"{name} {hz:g} Hz" for name, hz in (("high-pass", highpass), ("low-pass", lowpass))
             if hz is not None]
    realization = "exact (the component's design)" if exact else f"Butterworth order {order}"
    return f"{realization}: {', '.join(sides) or 'no filter'} at {rate:g} Hz"


def plot_response(rate, highpass=None, lowpass=None, order=4, exact=False, n=512, ax=None):
    """Draws the magnitude response of Filter(rate, ..., highpass, lowpass, order, exact) with
    matplotlib into `ax` or a new figure's axes: n frequencies spaced logarithmically from
    10 Hz to rate / 2 on a logarithmic axis, levels from -100 to +6 dB, titled with the
    realization and the cut-offs.

    Returns the matplotlib Axes. Raises ValueError as response does, and ImportError when
    matplotlib is not installed (an optional dependency: Debian's python3-matplotlib).
    """
    try:
        import matplotlib.pyplot as pyplot
    except ImportError as missing:
        raise ImportError(
            "plot_response draws with matplotlib, which is not installed "
            "(Debian: apt install python3-matplotlib)"
        ) from missing
    nyquist = rate / 2.0
    lowest = min(PLOT_LOWEST_HZ, nyquist / 10.0)
    frequencies, magnitudes = _magnitudes(rate, highpass, lowpass, order, exact, n,
                                          np.geomspace(lowest, nyquist, int(n)))
    if ax is None:
        _, ax = pyplot.subplots()
    ax.semilogx(frequencies, magnitudes)
    ax.set_xlim(lowest, nyquist)
    ax.set_ylim(*PLOT_LEVELS_DB)
    ax.set_xlabel("frequency (Hz)")
    ax.set_ylabel("magnitude (dB)")
    ax.set_title(_title(rate, highpass, lowpass, order, exact))
    ax.grid(True, which="both")
    return ax
