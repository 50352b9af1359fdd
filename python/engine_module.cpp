// zqaudio._engine: the filter engine and the exact Butterworth designs for Python. The
// package's __init__ re-exports them; the docstrings here are what help() shows users.
#include "filter_choice.h"

#include <dsp/libdspaudio>
#include <engine/filter_engine.h>
#include <engine/response.h>
#include <primitives/finite_samples.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

namespace py = pybind11;
using namespace ns_filter_engine;

namespace {

constexpr int k_exact_order = 4;

// The request as zq-filter's --highpass and --lowpass build it, so that equal settings give
// equal samples.
engine_settings settings_from(const filter_choice& choice) {
    engine_settings settings;
    filter_request& request = settings.request;
    request.high_pass = choice.highpass_hz.has_value();
    if (request.high_pass) request.high_hz = *choice.highpass_hz;
    request.low_pass = choice.lowpass_hz.has_value();
    if (request.low_pass) request.low_hz = *choice.lowpass_hz;
    settings.kind = choice.exact ? realization::exact : realization::precise;
    settings.precise_order = choice.order;
    return settings;
}

std::string joined_findings(const soundness_report& report, verdict severity) {
    std::string text;
    for (const finding& each : report.findings)
        if (each.severity == severity) text += (text.empty() ? "" : "; ") + each.message;
    return text;
}

py::object soundness_warning() {
    return py::module_::import("zqaudio._engine").attr("SoundnessWarning");
}

// The settings, or ValueError with what the engine refuses for this stream.
// A refusal of exact settings that the Butterworth design accepts says so.
engine_settings accepted_settings(double rate, int channels, const filter_choice& choice) {
    if (choice.exact && choice.order != k_exact_order)
        throw py::value_error(
            "exact=True is the component's order-4 design; order=" + std::to_string(choice.order) +
            " needs the Butterworth design (drop exact=True)");
    const engine_settings settings = settings_from(choice);
    const std::string why = check_settings(rate, channels, settings);
    if (why.empty()) return settings;
    engine_settings butterworth = settings;
    butterworth.kind = realization::precise;
    if (choice.exact && check_settings(rate, channels, butterworth).empty())
        throw py::value_error(why + "; drop exact=True for the Butterworth design");
    throw py::value_error(why);
}

// The samples as given, refused unless floating-point.
py::array floating_samples(py::handle x) {
    const py::array any = py::array::ensure(x);
    if (!any || any.dtype().kind() != 'f')
        throw py::type_error("samples must be a floating-point array (float32 or float64); "
                             "scale integer PCM to -1 .. 1 first, e.g. x / 32768");
    return any;
}

template <typename sample>
using contiguous = py::array_t<sample, py::array::c_style | py::array::forcecast>;

// Where the first NaN or infinite sample lies among `count`, or count when all are finite.
template <typename sample>
long first_non_finite(const sample* data, long count) {
    return static_cast<long>(
        ns_primitives::first_non_finite(data, static_cast<std::size_t>(count)));
}

// ValueError naming sample k, NaN or infinite: one would poison the filter's history for good.
template <typename sample>
[[noreturn]] void refuse_non_finite(sample value, long k, int channels) {
    throw py::value_error("the sample at frame " + std::to_string(k / channels) + ", channel " +
                          std::to_string(k % channels) + " is " +
                          py::repr(py::float_(static_cast<double>(value))).cast<std::string>() +
                          " as " + (sizeof(sample) == sizeof(float) ? "float32" : "float64") +
                          "; the filter takes finite samples only, and nothing was filtered");
}

class python_filter {
public:
    python_filter(double rate, int channels, const filter_choice& choice)
        : choice_(choice), engine_(rate, channels, sound_settings(rate, channels, choice)) {}

    // Wider than float32 runs in double unless exact; float32 and narrower run in float.
    py::array process(py::handle x) {
        const py::array any = floating_samples(x);
        if (any.dtype().itemsize() > 4 && !choice_.exact) return process_as<double>(any);
        return process_as<float>(any);
    }

    void reset() {
        py::gil_scoped_release unlocked;
        const std::lock_guard<std::mutex> one_stream(mutex_);
        engine_.reset();
    }

    double rate() const { return engine_.rate(); }
    int channels() const { return engine_.channels(); }
    const filter_choice& choice() const { return choice_; }

private:
    template <typename sample>
    contiguous<sample> process_as(const py::array& given) {
        const contiguous<sample> samples = contiguous<sample>::ensure(given);
        const long count = frames_of(samples) * engine_.channels();
        // A copy made here for the dtype or the layout belongs to this call alone: filtered in
        // place and returned, it spares a second array.
        const bool own_copy = !samples.is(given) && samples.owndata();
        contiguous<sample> output = own_copy
                                        ? samples
                                        : contiguous<sample>(std::vector<py::ssize_t>(
                                              samples.shape(), samples.shape() + samples.ndim()));
        const sample* in = samples.data();
        long bad = count;
        { // Both arrays stay referenced meanwhile, so their memory outlives the unlocked stretch.
            py::gil_scoped_release unlocked;
            const std::lock_guard<std::mutex> one_stream(mutex_);
            bad = filter_finite(in, output.mutable_data(), count);
        }
        if (bad < count) refuse_non_finite(in[bad], bad, engine_.channels());
        return output;
    }

    // Copies and filters a chunk at a time while the chunk is still in cache, rather than one
    // pass through memory for the copy and another for the filter, and checks each chunk as it
    // copies it. Returns where the first non-finite sample lies, or count; with one, the history
    // is as the call found it. The exact realization's history cannot be put back, so all its
    // samples are checked first, and once.
    template <typename sample>
    long filter_finite(const sample* in, sample* out, long count) {
        const bool restorable = engine_.save_history();
        if (!restorable) {
            const long bad = first_non_finite(in, count);
            if (bad < count) return bad;
        }
        const long chunk = k_chunk_frames * engine_.channels();
        for (long done = 0; done < count; done += chunk) {
            const long n = std::min(chunk, count - done);
            if (!place_chunk(in + done, out + done, static_cast<std::size_t>(n), restorable)) {
                engine_.restore_history();
                return done + first_non_finite(in + done, n);
            }
            engine_.process_interleaved(out + done, n / engine_.channels());
        }
        return count;
    }

    // Puts n input samples in the output (nothing to move when the output is the call's own copy
    // of them), checking them on the way when `check`: false for a non-finite one.
    template <typename sample>
    static bool place_chunk(const sample* in, sample* out, std::size_t n, bool check) {
        if (in == out) return !check || ns_primitives::all_finite(in, n);
        if (check) return ns_primitives::copy_finite(in, out, n);
        std::copy_n(in, n, out);
        return true;
    }

    long frames_of(const py::array& samples) const {
        const int channels = engine_.channels();
        const py::ssize_t given = samples.ndim() == 2 ? samples.shape(1) : 1;
        if (samples.ndim() == 1 && channels == 1) return static_cast<long>(samples.shape(0));
        if (samples.ndim() == 2 && given == channels) return static_cast<long>(samples.shape(0));
        const std::string expected = channels == 1 ? "(frames,) or (frames, 1)"
                                                   : "(frames, " + std::to_string(channels) + ")";
        std::string got = "(";
        for (py::ssize_t axis = 0; axis < samples.ndim(); ++axis)
            got += (axis ? ", " : "") + std::to_string(samples.shape(axis));
        got += samples.ndim() == 1 ? ",)" : ")";
        throw py::value_error("this filter has " + std::to_string(channels) +
                              " channel(s): samples must have shape " + expected + ", not " + got);
    }

    static constexpr long k_chunk_frames = 4096;

    filter_choice choice_;
    filter_engine engine_;
    std::mutex mutex_; // one stream: calls from several threads take turns
};

std::string optional_text(const std::optional<double>& value) {
    return value ? py::repr(py::float_(*value)).cast<std::string>() : "None";
}

// The Filters whose __init__ succeeded, by identity. Filter.__new__(Filter) makes an instance
// that holds no filter, and pybind11 would hand its methods fresh memory that never was one; a
// second __init__ it would ignore without a word. The GIL guards the set.
std::unordered_set<PyObject*>& initialised_filters() {
    static std::unordered_set<PyObject*> filters;
    return filters;
}

bool holds_filter(py::handle self) {
    if (!py::isinstance<python_filter>(self))
        throw py::type_error("a zqaudio.Filter method called on " +
                             py::repr(py::type::of(self)).cast<std::string>());
    return initialised_filters().count(self.ptr()) != 0;
}

// Forgotten as the instance dies, before its address can come back as another's.
void remember_initialised(py::handle self) {
    PyObject* const key = self.ptr();
    initialised_filters().insert(key);
    py::weakref(self, py::cpp_function([key](py::handle reference) {
                    initialised_filters().erase(key);
                    reference.dec_ref();
                }))
        .release();
}

python_filter& initialised(py::handle self) {
    if (!holds_filter(self))
        throw py::type_error("this zqaudio.Filter was never initialised; make one with "
                             "zqaudio.Filter(rate, channels, ...)");
    return self.cast<python_filter&>();
}

void refuse_second_init(py::class_<python_filter>& filter_class) {
    const py::object construct = filter_class.attr("__init__");
    filter_class.attr("__init__") = py::cpp_function(
        [construct](py::handle self, py::args arguments, py::kwargs keywords) {
            if (holds_filter(self))
                throw py::type_error("this zqaudio.Filter is already initialised; make a new "
                                     "one for other settings");
            construct(self, *arguments, **keywords);
            remember_initialised(self);
        },
        // Not named __init__: pybind11 would take it for a constructor and skip it on a second
        // call, as it does the one it wraps.
        py::is_method(filter_class), "Initialises the filter, once (see Filter).");
}

std::string filter_repr(const python_filter& filter) {
    const filter_choice& c = filter.choice();
    return "zqaudio.Filter(rate=" + py::repr(py::float_(filter.rate())).cast<std::string>() +
           ", channels=" + std::to_string(filter.channels()) +
           ", highpass=" + optional_text(c.highpass_hz) +
           ", lowpass=" + optional_text(c.lowpass_hz) + ", order=" + std::to_string(c.order) +
           ", exact=" + (c.exact ? "True" : "False") + ")";
}

py::array_t<double> response_db(double rate, const filter_choice& choice,
                                const std::vector<double>& frequencies) {
    const std::vector<double> db =
        magnitude_db(rate, accepted_settings(rate, 1, choice), frequencies);
    return py::array_t<double>(static_cast<py::ssize_t>(db.size()), db.data());
}

void require_fraction(const char* name, float fraction) {
    if (!(fraction > 0.0f && fraction < 0.5f))
        throw py::value_error(std::string(name) +
                              " must be a fraction of the sample rate in "
                              "(0, 0.5), not " +
                              std::to_string(fraction));
}

using design_routine = void (ns_audio_dsp::libdspaudio::*)(float, int, float*, float*);

// The designs read nothing of the library object; one serves every call and thread.
ns_audio_dsp::libdspaudio& designer() {
    static ns_audio_dsp::libdspaudio* const dsp = new ns_audio_dsp::libdspaudio();
    return *dsp;
}

py::tuple coefficients(int order, const std::function<void(float*, float*)>& design) {
    py::array_t<float> a(order + 1), b(order + 1);
    design(a.mutable_data(), b.mutable_data());
    return py::make_tuple(a, b);
}

py::tuple butter_design(design_routine routine, float fraction, int order) {
    require_fraction("fraction", fraction);
    if (order < 1 || order > 8)
        throw py::value_error("order must be 1 .. 8 (what the exact filters run), not " +
                              std::to_string(order));
    return coefficients(order,
                        [&](float* a, float* b) { (designer().*routine)(fraction, order, a, b); });
}

py::tuple butter_bandpass(float lower, float upper, int order) {
    require_fraction("lower", lower);
    require_fraction("upper", upper);
    if (!(lower < upper))
        throw py::value_error("lower must be below upper (fractions " + std::to_string(lower) +
                              ", " + std::to_string(upper) + ")");
    if (order < 4 || order > 16 || order % 4 != 0)
        throw py::value_error("band-pass order must be 4, 8, 12 or 16, not " +
                              std::to_string(order));
    return coefficients(
        order, [&](float* a, float* b) { designer().butter_bp_design(upper, lower, order, a, b); });
}

} // namespace

// accepted_settings, and an exact design the soundness check finds broken refused as well;
// one it finds degraded filters with a SoundnessWarning.
engine_settings sound_settings(double rate, int channels, const filter_choice& choice) {
    const engine_settings settings = accepted_settings(rate, channels, choice);
    if (!choice.exact) return settings;
    const soundness_report report = assess_exact(rate, settings.request);
    if (report.overall == verdict::unsound)
        throw py::value_error(joined_findings(report, verdict::unsound) +
                              "; drop exact=True for the Butterworth design");
    const std::string degraded = joined_findings(report, verdict::degraded);
    // Below zero: a warnings filter turned the warning into an exception.
    if (!degraded.empty() &&
        PyErr_WarnEx(soundness_warning().ptr(),
                     (degraded + "; drop exact=True for the full Butterworth response").c_str(),
                     2) < 0)
        throw py::error_already_set();
    return settings;
}

PYBIND11_MODULE(_engine, m) {
    m.doc() = "The zqaudio filter engine (see the zqaudio package for the documented API).";
    m.attr("__version__") = ZQ_VERSION;
    m.attr("SoundnessWarning") = py::reinterpret_steal<py::object>(
        PyErr_NewExceptionWithDoc("zqaudio.SoundnessWarning",
                                  "The exact design (exact=True) filters, but less accurately "
                                  "than the order-4 Butterworth it stands for.",
                                  PyExc_UserWarning, nullptr));

    py::class_<python_filter> filter_class(
        m, "Filter", R"(Filter(rate, channels, highpass=None, lowpass=None, order=4, exact=False)

The hl-pass filter over one stream, its history carried from call to call.

rate      sample rate in Hz, a positive finite number.
channels  1 .. 1024, with either design (libsndfile's most, so any file it reads).
highpass  high-pass cut-off in Hz, or None for no high-pass.
lowpass   low-pass cut-off in Hz, or None for no low-pass (both: a band-pass; the high-pass
          cut-off must be below the low-pass one, compared as given).
order     order of each side of the Butterworth design: 2, 4, 6 or 8.
exact     False (the default): Butterworth high-pass and low-pass filters, -3 dB at each
          cut-off, designed and run in double precision as second-order sections, as
          scipy.signal.butter(order, cutoff, fs=rate, output='sos') with sosfilt; cut-offs
          10 Hz .. 0.49 x rate. Costs 1.1 .. 1.4 x the exact filter per mono sample.
          True: the component's single-precision order-4 design, whose output equals
          zq-filter --exact's bit for bit (cut-offs: high-pass 50 Hz .. 0.45 x rate, low-pass
          200 Hz .. 0.45 x rate). It is not the textbook Butterworth everywhere: below
          0.015 x rate its high-pass is two second-order sections (-6 dB at the cut-off), and
          a band's high side can be second order.

Raises ValueError for settings the engine refuses (with the reason), an order other than 4
with exact=True, and an exact design that would be unstable or boost the signal at this
rate; TypeError for arguments of the wrong type. An exact design that is usable but less
accurate than its Butterworth issues a zqaudio.SoundnessWarning. A Filter is initialised once:
calling __init__ again raises TypeError, and so does any method of one made without it.)");
    filter_class
        .def(py::init([](double rate, int channels, std::optional<double> highpass,
                         std::optional<double> lowpass, int order, bool exact) {
                 return new python_filter(rate, channels,
                                          filter_choice{highpass, lowpass, order, exact});
             }),
             py::arg("rate"), py::arg("channels"), py::arg("highpass") = py::none(),
             py::arg("lowpass") = py::none(), py::arg("order") = 4, py::arg("exact") = false)
        .def(
            "process", [](py::handle self, py::handle x) { return initialised(self).process(x); },
            py::arg("x"),
            R"(process(x) -> numpy.ndarray

Filters the next block of the stream and returns it as a new array of x's shape.

x  shape (frames,) for a mono filter, or (frames, channels), samples interleaved by frame;
   any layout (non-contiguous arrays are copied first).
   float64 (and wider): filtered in double end to end, returned as float64; wider dtypes
   are rounded to float64. With exact=True the samples are rounded to float32 and the
   result is float32: the component computes in single precision, and the dtype says so.
   float32 (and narrower): returned as float32. The Butterworth design still runs in
   double inside and rounds each output sample once.
   Integer, complex or object arrays raise TypeError, a shape that does not match the
   channel count ValueError.

A NaN or infinite sample (after any rounding to float32) raises ValueError naming the first
one by frame and channel; nothing is filtered and the history stays as it was.

Consecutive calls continue the stream: any split of a signal into blocks gives the same
samples as one call. The GIL is released while filtering; calls on one Filter from several
threads take turns.)")
        .def(
            "reset", [](py::handle self) { initialised(self).reset(); },
            "reset()\n\nClears the carried history: the next process() starts a new stream.")
        .def_property_readonly(
            "rate", [](py::handle self) { return initialised(self).rate(); }, "Sample rate in Hz.")
        .def_property_readonly(
            "channels", [](py::handle self) { return initialised(self).channels(); },
            "Channel count.")
        .def("__repr__", [](py::handle self) { return filter_repr(initialised(self)); });
    refuse_second_init(filter_class);

    define_filter_file(m);

    m.def(
        "magnitude_db",
        [](double rate, std::optional<double> highpass, std::optional<double> lowpass, int order,
           bool exact, const std::vector<double>& frequencies) {
            return response_db(rate, filter_choice{highpass, lowpass, order, exact}, frequencies);
        },
        py::arg("rate"), py::arg("highpass"), py::arg("lowpass"), py::arg("order"),
        py::arg("exact"), py::arg("frequencies"),
        "Magnitude in dB of what the settings compute, at each frequency in Hz (float64).");

    m.def(
        "butter_lowpass",
        [](float fraction, int order) {
            return butter_design(&ns_audio_dsp::libdspaudio::butter_lp_design, fraction, order);
        },
        py::arg("fraction"), py::arg("order") = 4,
        R"(butter_lowpass(fraction, order=4) -> (a, b)

The exact Butterworth low-pass design the engine uses (libdspaudio::butter_lp_design).

fraction  cut-off over the sample rate, in (0, 0.5).
order     1 .. 8.
Returns the denominator a and the numerator b, float32 arrays of shape (order + 1,), element
k the coefficient of z**-k, a[0] == 1. Note the order: scipy.signal.butter(order,
2 * fraction) returns (b, a).)");
    m.def(
        "butter_highpass",
        [](float fraction, int order) {
            return butter_design(&ns_audio_dsp::libdspaudio::butter_hp_design, fraction, order);
        },
        py::arg("fraction"), py::arg("order") = 4,
        R"(butter_highpass(fraction, order=4) -> (a, b)

The exact Butterworth high-pass design the engine uses (libdspaudio::butter_hp_design), as
butter_lowpass. Scaled to unit gain at half the sample rate up to fraction 0.25 (above, the
gain there exceeds 1, as the component's design does).)");
    m.def("butter_bandpass", &butter_bandpass, py::arg("lower"), py::arg("upper"),
          py::arg("order") = 4,
          R"(butter_bandpass(lower, upper, order=4) -> (a, b)

The exact Butterworth band-pass design of the DSP library (libdspaudio::butter_bp_design).

lower, upper  band edges over the sample rate, 0 < lower < upper < 0.5.
order         4, 8, 12 or 16 (the band-pass order: twice the prototype's).
Returns float32 arrays a and b of shape (order + 1,) as butter_lowpass; unit gain at
(lower + upper) / 2. scipy.signal.butter(order // 2, [2 * lower, 2 * upper], 'bandpass')
is the double-precision counterpart.)");
}
