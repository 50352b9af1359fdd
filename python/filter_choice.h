// The filter a Python caller names, shared by zqaudio.Filter and zqaudio.filter_file.
#pragma once

#include <engine/filter_engine>

#include <pybind11/pybind11.h>

#include <optional>

struct filter_choice {
    std::optional<double> highpass_hz;
    std::optional<double> lowpass_hz;
    int order = 4;
    bool exact = false;
};

// The engine's settings for the choice, or ValueError with what the engine refuses for this
// stream; an exact design the soundness check finds broken is refused too, one it finds
// degraded issues a zqaudio.SoundnessWarning.
ns_filter_engine::engine_settings sound_settings(double rate, int channels,
                                                 const filter_choice& choice);

// zqaudio._engine.filter_file.
void define_filter_file(pybind11::module_& m);
