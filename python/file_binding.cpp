// zqaudio._engine.filter_file: the file layer zq-filter runs, with the filter a Python caller
// names. zqaudio.filter_file (files.py) wraps it and turns its notes into warnings.
// zqaudio._engine.remove_stale_temporaries: the layer's clean-up after killed writers.
#include "filter_choice.h"

#include <files/engine_filter.h>
#include <files/file_error.h>
#include <files/filter_file.h>
#include <files/temporaries.h>

#include <pybind11/stl.h>

#include <optional>
#include <string>

namespace py = pybind11;
using namespace ns_audio_files;

namespace {

struct file_options {
    std::optional<std::string> format;
    std::optional<std::string> container;
    std::optional<double> gain_db;
    bool dither = true;
    std::optional<std::string> mix;
    bool pairs = false;
    std::string mix_matrix;
    std::optional<std::string> route;
    bool strict = false;
    std::optional<int> bitrate;
    std::optional<std::string> settings_note;
};

file_job job_of(const std::string& input, const std::string& output, const file_options& chosen) {
    file_job job;
    job.input = input;
    job.output = output;
    job.type = chosen.container.value_or("");
    job.sample_format = chosen.format.value_or("");
    if (chosen.gain_db) job.gain_db = py::repr(py::float_(*chosen.gain_db)).cast<std::string>();
    job.dither = chosen.dither;
    job.channels = read_channel_request(chosen.mix.value_or(""), chosen.pairs, chosen.mix_matrix,
                                        chosen.route.value_or(""));
    job.strict = chosen.strict;
    job.bitrate = chosen.bitrate.value_or(0);
    job.settings_note = chosen.settings_note.value_or("");
    return job;
}

// The exception a Python caller expects: OSError's own subclass for a failed system call
// (FileNotFoundError, PermissionError, ...), ValueError for settings and for what INPUT holds,
// OSError for OUTPUT, FloatingPointError for a sample the filter made non-finite.
[[noreturn]] void raise_for(const file_error& error) {
    if (error.system_error() != 0) {
        PyErr_SetObject(PyExc_OSError, py::make_tuple(error.system_error(), error.what()).ptr());
        throw py::error_already_set();
    }
    switch (error.kind()) {
    case failure::usage:
    case failure::input:
        throw py::value_error(error.what());
    case failure::output:
        PyErr_SetString(PyExc_OSError, error.what());
        break;
    case failure::filter:
        PyErr_SetString(PyExc_FloatingPointError, error.what());
        break;
    }
    throw py::error_already_set();
}

py::dict filtered_file(const std::string& input, const std::string& output,
                       const filter_choice& choice, const file_options& chosen) {
    file_events events;
    events.make_filter = [&choice](const stream_facts& stream) -> std::unique_ptr<stream_filter> {
        require_filter_channels(stream.channels);
        const py::gil_scoped_acquire locked;
        return std::make_unique<engine_filter>(
            stream.sample_rate, stream.channels,
            sound_settings(stream.sample_rate, stream.channels, choice));
    };
    std::vector<std::string> notes;
    events.started = [&notes](const stream_facts&, const std::vector<std::string>& said) {
        notes = said;
    };
    // Ctrl-C ends a long run between blocks, the temporary file removed.
    events.progress = [](long long) {
        const py::gil_scoped_acquire locked;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    };
    file_result result;
    try {
        const file_job job = job_of(input, output, chosen);
        const py::gil_scoped_release unlocked;
        result = filter_file(job, events);
    } catch (const file_error& error) {
        raise_for(error);
    }
    py::dict said;
    said["frames"] = result.frames;
    said["rate"] = result.sample_rate;
    said["channels"] = result.stream.channels;
    said["clipped"] = result.clipped;
    said["notes"] = notes;
    said["truncation"] = result.truncation;
    said["clip_report"] = result.clip_report;
    return said;
}

} // namespace

void define_filter_file(py::module_& m) {
    m.def(
        "filter_file",
        [](const std::string& input, const std::string& output, std::optional<double> highpass,
           std::optional<double> lowpass, int order, bool exact, std::optional<std::string> format,
           std::optional<std::string> container, std::optional<double> gain, bool dither,
           std::optional<std::string> mix, bool pairs, const std::string& mix_matrix,
           std::optional<std::string> route, bool strict, std::optional<int> bitrate,
           std::optional<std::string> settings_note) {
            return filtered_file(input, output, filter_choice{highpass, lowpass, order, exact},
                                 file_options{format, container, gain, dither, mix, pairs,
                                              mix_matrix, route, strict, bitrate, settings_note});
        },
        py::arg("input"), py::arg("output"), py::arg("highpass"), py::arg("lowpass"),
        py::arg("order"), py::arg("exact"), py::arg("format"), py::arg("container"),
        py::arg("gain"), py::arg("dither"), py::arg("mix"), py::arg("pairs"), py::arg("mix_matrix"),
        py::arg("route"), py::arg("strict"), py::arg("bitrate") = py::none(),
        py::arg("settings_note") = py::none(),
        "zq-filter's file path with this filter; see zqaudio.filter_file. Returns a dict: "
        "frames, rate, channels, clipped, notes, truncation, clip_report.");
    m.def(
        "remove_stale_temporaries",
        [](const std::string& directory) {
            try {
                return remove_stale_temporaries(directory);
            } catch (const file_error& error) {
                raise_for(error);
            }
        },
        py::arg("directory"),
        "Removes the temporary files that writers killed before finishing left in directory "
        "(those still being written stay) and returns their names. OSError when the folder "
        "cannot be read.");
}
