// Loudness of processed audio: integrated loudness (LUFS), loudness range (LU) and true peak
// (dBTP) after EBU R128, the figures libebur128 gives to the bit (export/gated_loudness.h,
// export/true_peak.h). The export feeds the meter the 16-bit blocks it writes; `zvmp3-cli
// loudness` feeds it a song read from disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "export/gated_loudness.h"
#include "export/true_peak.h"

namespace zv {

// Figures of a whole song. Silence, or a song too short for one 400 ms block, has an
// integrated loudness of -infinity; a true peak of -infinity means every sample was zero.
struct LoudnessFigures {
    double integrated_lufs = 0.0;
    double range_lu = 0.0;
    double true_peak_dbtp = 0.0;
};

// One song's meter.
class LoudnessMeter {
public:
    // channels 1 or 2 (a mono song counts as one channel, weight 1), rate in Hz.
    LoudnessMeter(int channels, int32_t rate);

    // False for a shape the meter refuses (other channel counts, a rate below 16 Hz or above
    // 2,822,400 Hz) or when there was no memory for it; every other call is then harmless and
    // figures() fails.
    bool ok() const { return gated_.ok(); }
    int channels() const { return channels_; }

    // Interleaved frames (samples.size() / channels of them). The samples are only read.
    void add(std::span<const int16_t> samples);
    // The same for floating-point samples, full scale +-1.0.
    void add(std::span<const float> samples);
    // The figures of everything added so far; false when the meter is not ok().
    bool figures(LoudnessFigures& out) const;

private:
    GatedLoudness gated_;      // the integrated loudness, the range and the sample peak
    TruePeakMeter true_peak_;  // the interpolated peak
    int channels_ = 0;
};

// "-14.2 LUFS, range 5.3 LU, true peak -0.8 dBTP" (the -infinity figures as "-inf").
std::string loudness_text(const LoudnessFigures& figures);
// One figure with that many decimals, or "-inf".
std::string loudness_figure_text(double value, int decimals = 1);

// Measures a song file read with the sources' readers, chosen by its extension as the
// playlist chooses them (WAV, MP3, and FLAC, Ogg Vorbis, Opus and deeper or faster WAV files
// through libsndfile, at their own rate). False with error set when the file cannot be
// opened, read or decoded, holds no samples, or is not a song the export would take.
bool measure_file_loudness(const std::string& path, LoudnessFigures& out, std::string& error);

}  // namespace zv
