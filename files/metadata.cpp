#include "metadata.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace ns_audio_files {

namespace {

constexpr int k_string_kinds[] = {
    SF_STR_TITLE, SF_STR_COPYRIGHT, SF_STR_SOFTWARE, SF_STR_ARTIST,      SF_STR_COMMENT,
    SF_STR_DATE,  SF_STR_ALBUM,     SF_STR_LICENSE,  SF_STR_TRACKNUMBER, SF_STR_GENRE};

// libsndfile accepts cue points for every container but writes them only into these.
bool keeps_cues(int format) {
    const int container = format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX ||
           container == SF_FORMAT_AIFF;
}

std::vector<SF_CUE_POINT> read_cues(SNDFILE* file) {
    std::uint32_t count = 0;
    if (!sf_command(file, SFC_GET_CUE_COUNT, &count, sizeof count) || count == 0) return {};
    // SF_CUES_VAR's layout: the count, then the points.
    std::vector<std::uint32_t> block(1 + (count * sizeof(SF_CUE_POINT) + 3) / 4);
    const int bytes = static_cast<int>(block.size() * sizeof(std::uint32_t));
    if (!sf_command(file, SFC_GET_CUE, block.data(), bytes)) return {};
    const auto* points = reinterpret_cast<const SF_CUE_POINT*>(block.data() + 1);
    return {points, points + count};
}

bool write_cues(SNDFILE* file, const std::vector<SF_CUE_POINT>& cues) {
    std::vector<std::uint32_t> block(1 + (cues.size() * sizeof(SF_CUE_POINT) + 3) / 4);
    block[0] = static_cast<std::uint32_t>(cues.size());
    std::copy(cues.begin(), cues.end(), reinterpret_cast<SF_CUE_POINT*>(block.data() + 1));
    return sf_command(file, SFC_SET_CUE, block.data(),
                      static_cast<int>(block.size() * sizeof(std::uint32_t))) == SF_TRUE;
}

// INPUT's comment with the settings note as its last line. The comment, unlike the software
// string, to which libsndfile adds its own version, is kept as written by every container that
// keeps strings.
std::string comment_with_settings(const sound_metadata& metadata) {
    const auto comment = std::find_if(
        metadata.strings.begin(), metadata.strings.end(),
        [](const std::pair<int, std::string>& entry) { return entry.first == SF_STR_COMMENT; });
    if (comment == metadata.strings.end()) return metadata.settings_note;
    return comment->second + '\n' + metadata.settings_note;
}

} // namespace

sound_metadata read_metadata(SNDFILE* file) {
    sound_metadata metadata;
    for (const int kind : k_string_kinds) {
        const char* text = sf_get_string(file, kind);
        if (text && *text) metadata.strings.emplace_back(kind, text);
    }
    auto broadcast = std::make_unique<broadcast_info>();
    if (sf_command(file, SFC_GET_BROADCAST_INFO, broadcast.get(), sizeof *broadcast))
        metadata.broadcast = std::move(broadcast);
    metadata.cues = read_cues(file);
    return metadata;
}

std::string write_metadata(SNDFILE* file, int format, const sound_metadata& metadata) {
    std::string lost;
    const auto note_lost = [&lost](const char* what) {
        lost += (lost.empty() ? "" : ", ") + std::string(what);
    };
    bool strings_kept = true;
    for (const auto& [kind, text] : metadata.strings)
        strings_kept = sf_set_string(file, kind, text.c_str()) == 0 && strings_kept;
    if (!strings_kept) note_lost("title, artist and other strings");
    // Replaces the comment just set, if any.
    if (!metadata.settings_note.empty())
        sf_set_string(file, SF_STR_COMMENT, comment_with_settings(metadata).c_str());
    // libsndfile refuses a block as large as its own: hand it only what is filled in.
    if (metadata.broadcast &&
        !sf_command(file, SFC_SET_BROADCAST_INFO, metadata.broadcast.get(),
                    static_cast<int>(offsetof(broadcast_info, coding_history) +
                                     metadata.broadcast->coding_history_size)))
        note_lost("broadcast extension (bext)");
    if (!metadata.cues.empty() && !(keeps_cues(format) && write_cues(file, metadata.cues)))
        note_lost("cue points");
    return lost;
}

} // namespace ns_audio_files
