// The export's conversions through libsndfile: a FLAC, Ogg Vorbis, Ogg Opus or deeper/faster
// WAV source decoded into the 16-bit PCM WAV working copy at its chain rate (as an MP3 source
// is decoded), and the processed song encoded to 16-bit FLAC (compression level 5) or to Ogg
// Opus at 48 kHz, with the source's tags as Vorbis comments. Each runs on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "export/export_options.h"
#include "export/mp3_convert.h"
#include "export/peak_scan.h"
#include "sources/sndfile_source.h"
#include "sources/song_tags.h"

namespace zv {

// Decodes the source into a RIFF/WAVE file of 16-bit PCM at the source's chain rate (exactly
// its samples when they are 16-bit at a chain rate; else resampled and dithered, see
// chain_rate_reader.h), feeding peak every sample written. song receives what the source is.
// False with why set when the source cannot be read whole, or when cancelled; no WAV is left.
// With two_threads a 16-bit song at its chain rate is decoded in two halves at once (the same
// bytes and level).
bool decode_sndfile_to_wav(const std::string& source_path, const std::string& wav_path,
                           const ConvertControl& control, ConvertFailure& why, PeakTracker* peak,
                           SndfileSongInfo* song = nullptr, bool two_threads = false);

// The level the export takes for such a song (PeakTracker over its samples at the chain rate),
// without writing them anywhere. False with error set when it cannot be read whole.
bool measure_sndfile_peak(const std::string& path, int32_t& level, std::string& error);

// The Vorbis comments of a FLAC or Opus export: the source's title, artist, album and track
// with the album and title prefixes put before them, as the MP3's ID3v1 tag gets them; no
// comments when the source has none (an MP3's ID3v1 tag counts: tags_of_id3v1).
SongTags export_comment_tags(const SongTags& source, const ExportOptions& options);

// Writes one FLAC or Ogg Opus file from interleaved 16-bit frames given in any amounts. Opus
// is encoded at 48 kHz: a song at 44100 or 32000 Hz is resampled (libsoxr, very high quality)
// to exactly round(frames x 48000 / rate) frames. The cancel and the throttle are looked at
// before each call. On a failure or a cancel the file is removed.
class SndfileFileEncoder {
public:
    SndfileFileEncoder();
    ~SndfileFileEncoder();
    SndfileFileEncoder(const SndfileFileEncoder&) = delete;
    SndfileFileEncoder& operator=(const SndfileFileEncoder&) = delete;

    // format Flac or Opus; tags written (with the encoder mark as comment) when tags.any().
    bool open(const std::string& path, ExportFormat format, int32_t rate, int channels,
              int opus_bitrate_kbps, const SongTags& tags, const ConvertControl& control,
              ConvertFailure& why);
    bool write(const int16_t* interleaved, size_t frames, ConvertFailure& why);
    // The resampler's last frames and the file's end; closes the file.
    bool finish(ConvertFailure& why);

private:
    struct State;
    bool fail(ConvertFailure& why, std::string text, int err = 0);
    bool write_float(const float* interleaved, size_t frames, ConvertFailure& why);

    std::unique_ptr<State> s_;
};

}  // namespace zv
