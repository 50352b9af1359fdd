"""zqaudio: the ZQ Audio high-/low-pass filter engine for Python.

Filter                      the filter over one stream, its history carried from call to call
filter_file                 one audio file filtered as zq-filter filters it
response, plot_response     the magnitude response that settings give
butter_lowpass, butter_highpass, butter_bandpass
                            the exact single-precision designs, to compare with scipy
SoundnessWarning            an exact design that filters less accurately than it should

Many files at once, on this machine or a dask cluster: python3 -m zqaudio.batch --help.

Cut-offs are in Hz. The default, exact engine computes what the component and zq-filter
compute, bit for bit; precise=True runs double-precision Butterworth sections of order 2, 4,
6 or 8 instead, for settings the exact single-precision design cannot do well.
"""

from ._engine import (
    Filter,
    SoundnessWarning,
    __version__,
    butter_bandpass,
    butter_highpass,
    butter_lowpass,
)
from .files import FileResult, filter_file
from .response import plot_response, response

__all__ = [
    "Filter",
    "FileResult",
    "SoundnessWarning",
    "__version__",
    "butter_bandpass",
    "butter_highpass",
    "butter_lowpass",
    "filter_file",
    "plot_response",
    "response",
]
