#include "export/song_entry.h"

#include <algorithm>
#include <climits>

#include "sources/byte_reader.h"
#include "sources/mp3_source.h"
#include "sources/open_file.h"
#include "sources/sndfile_source.h"
#include "sources/wav_source.h"

namespace zv {
namespace {

bool make_sndfile_entry(const std::string& path, SongEntry& entry, Id3v1Tag& tag,
                        std::string& error) {
    SndfileSongInfo info;
    if (!probe_sndfile(path, info, &error)) {
        return false;
    }
    entry.source_type = SOURCE_SNDFILE;
    entry.sample_rate = info.rate;
    entry.channels = info.channels;
    entry.pcm_bytes = clamp_pcm_bytes(sndfile_pcm_bytes(info));
    tag = id3v1_slot_of(info.tags);
    return true;
}

}  // namespace

bool make_song_entry(const std::string& path, SongEntry& entry, Id3v1Tag& tag, std::string& error) {
    entry = SongEntry{};
    tag = Id3v1Tag{};
    if (!set_song_path(entry, path)) {
        error = "the path is longer than 255 bytes";
        return false;
    }
    FileByteReader file;
    if (!file.open(path)) {
        error = "cannot open it: " + file.open_failure().text();
        return false;
    }
    int32_t rate = 0, channels = 0;
    if (is_sndfile_song_name(path)) {
        file.close();
        return make_sndfile_entry(path, entry, tag, error);
    }
    if (has_extension(path, ".mp3")) {
        int64_t pcm_bytes = 0;
        if (probe_mp3(file, rate, channels, pcm_bytes) != 1) {
            error = file.error() != 0
                        ? read_error_text(file)
                        : "not a supported MP3 file (32000/44100/48000 Hz, 1 or 2 channels)";
            return false;
        }
        entry.source_type = SOURCE_MP3;
        entry.pcm_bytes = clamp_pcm_bytes(pcm_bytes);
        read_id3v1(path, tag);
    } else {
        uint32_t data_bytes = 0;
        int r = probe_wav(file, rate, channels, data_bytes);
        if (r == 0 && file.error() == 0) {
            // Refused for its format: a deeper or faster WAV goes through libsndfile.
            file.seek(0);
            if (wav_walk_is_for_sndfile(walk_wav_header(file))) {
                file.close();
                return make_sndfile_entry(path, entry, tag, error);
            }
        }
        if (r != 1) {
            error = file.error() != 0 ? read_error_text(file)
                    : r < 0           ? "cannot read it as a WAV file"
                            : std::string("unsupported WAV format (") + WAV_FORMATS_TAKEN + ")";
            return false;
        }
        entry.source_type = SOURCE_WAV;
        entry.pcm_bytes = clamp_pcm_bytes(data_bytes);
    }
    entry.sample_rate = rate;
    entry.channels = channels;
    return true;
}

}  // namespace zv
