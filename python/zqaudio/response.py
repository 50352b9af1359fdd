"""The magnitude response that filter settings give."""

import numpy as np

from . import _engine


def response(rate, highpass=None, lowpass=None, precise=False, order=4, n=512):
    """Magnitude response of the filter that Filter(rate, ..., highpass, lowpass, precise,
    order) runs, as that realization computes it (for the exact engine: its float
    coefficients, so the damage of an unsound design shows).

    Returns (frequencies, magnitude_db): two float64 arrays of shape (n,), the frequencies
    evenly spaced from 0 Hz to rate / 2 inclusive, the magnitudes 20 * log10 |H| in dB.
    Raises ValueError for settings the engine refuses at this rate, or n below 2.
    """
    if int(n) != n or n < 2:
        raise ValueError(f"n must be a whole number of at least 2, not {n!r}")
    frequencies = np.linspace(0.0, rate / 2.0, int(n))
    magnitudes = _engine.magnitude_db(rate, highpass, lowpass, precise, order, frequencies)
    return frequencies, np.asarray(magnitudes, dtype=np.float64)


def plot_response(rate, highpass=None, lowpass=None, precise=False, order=4, n=512, ax=None):
    """Draws response(rate, highpass, lowpass, precise, order, n) with matplotlib, on a
    logarithmic frequency axis (which leaves out 0 Hz), into `ax` or a new figure's axes.

    Returns the matplotlib Axes. Raises ImportError when matplotlib is not installed (an
    optional dependency: Debian's python3-matplotlib).
    """
    try:
        import matplotlib.pyplot as pyplot
    except ImportError as missing:
        raise ImportError(
            "plot_response draws with matplotlib, which is not installed "
            "(Debian: apt install python3-matplotlib)"
        ) from missing
    frequencies, magnitudes = response(rate, highpass, lowpass, precise, order, n)
    if ax is None:
        _, ax = pyplot.subplots()
    engine = f"precise, order {order}" if precise else "exact"
    ax.semilogx(frequencies[1:], magnitudes[1:], label=engine)
    ax.set_xlabel("frequency (Hz)")
    ax.set_ylabel("magnitude (dB)")
    ax.set_title(f"high-pass {highpass} Hz, low-pass {lowpass} Hz at {rate:g} Hz ({engine})")
    ax.grid(True, which="both")
    return ax
