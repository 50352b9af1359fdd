// What INPUT says about itself besides its samples, carried to OUTPUT where libsndfile reads and
// writes it: the strings (title, artist, comment, ...), the broadcast extension chunk (bext,
// its time reference included) and cue points. The filter keeps every sample where it was, so
// positions and time references carry over unchanged.
#pragma once

#include <sndfile.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ns_audio_files {

// The bext chunk with room for a long coding history.
typedef SF_BROADCAST_INFO_VAR(16384) broadcast_info;

struct sound_metadata {
    std::vector<std::pair<int, std::string>> strings; // SF_STR_* and its text
    std::unique_ptr<broadcast_info> broadcast;        // null when INPUT has none
    std::vector<SF_CUE_POINT> cues;
    // A last line for OUTPUT's comment, after INPUT's own, recording what made OUTPUT; empty
    // for none. Not read back: the caller reads the comment.
    std::string settings_note;
};

sound_metadata read_metadata(SNDFILE* file);

// Writes into a file just opened (before any sample) what its container keeps; returns what it
// does not of INPUT's ("broadcast extension (bext), cue points"), empty when everything is kept.
// A settings note the container cannot keep is left out silently: a comment read back without
// it tells the caller.
std::string write_metadata(SNDFILE* file, int format, const sound_metadata& metadata);

} // namespace ns_audio_files
