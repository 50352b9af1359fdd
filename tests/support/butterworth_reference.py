"""What the reference-data scripts share: scipy's Butterworth sections for a zq-filter style
request, and exact float literals laid out for C++ include files."""

import numpy as np
from scipy import signal


def butterworth_sections(rate, order, high_hz, low_hz):
    """scipy.signal.butter(..., output='sos') for each side switched on (a cut-off of 0 or
    None is off), the high-pass sections before the low-pass ones, as the engine runs them."""
    sides = [(high_hz, "highpass"), (low_hz, "lowpass")]
    return np.vstack([signal.butter(order, float(hz), kind, fs=rate, output="sos")
                      for hz, kind in sides if hz])


def float_literal(value):
    """A C++ float literal that reads back as `value` exactly."""
    text = "%.9g" % value
    return text + ("f" if "." in text or "e" in text else ".0f")


def wrapped(numbers, indent):
    """`numbers` (texts) as comma-separated lines of at most 100 characters."""
    lines = []
    line = ""
    for text in numbers:
        if len(indent) + len(line) + len(text) + 2 > 100:
            lines.append(indent + line.rstrip())
            line = ""
        line += text + ", "
    lines.append(indent + line.rstrip().rstrip(","))
    return "\n".join(lines)
