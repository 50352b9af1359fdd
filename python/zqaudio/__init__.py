"""zqaudio: the ZQ Audio high-/low-pass filter engine for Python.

Filter                      the filter over one stream, its history carried from call to call
filter_file                 one audio file filtered as zq-filter filters it
response, plot_response     the magnitude response that settings give
butter_lowpass, butter_highpass, butter_bandpass
                            the exact single-precision designs, to compare with scipy
SoundnessWarning            an exact design that filters less accurately than it should

Many files at once, on this machine or a dask cluster: python3 -m zqaudio.batch --help.

Cut-offs are in Hz. The default is the Butterworth filter the cut-offs name: -3 dB at each,
order 2, 4 (default), 6 or 8 per side, designed and run in double precision (float64 samples
stay float64 end to end). exact=True runs the component's single-precision order-4 design
instead, bit for bit what the component and zq-filter --exact compute. (The precise=
keyword is gone: what it chose is the default now.)
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
