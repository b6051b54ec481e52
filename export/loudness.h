// Loudness of processed audio: integrated loudness (LUFS), loudness range (LU) and true peak
// (dBTP) after EBU R128, measured with libebur128. The export feeds the meter the 16-bit
// blocks it writes; `zvmp3-cli loudness` feeds it a song read from disk.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <ebur128.h>

#include "export/true_peak.h"

namespace zv {

// Figures of a whole song. Silence, or a song too short for one 400 ms block, has an
// integrated loudness of -infinity; a true peak of -infinity means every sample was zero.
struct LoudnessFigures {
    double integrated_lufs = 0.0;
    double range_lu = 0.0;
    double true_peak_dbtp = 0.0;
};

// One song's meter. RAII: owns its libebur128 state.
class LoudnessMeter {
public:
    // channels 1 or 2 (a mono song counts as one channel, weight 1), rate in Hz.
    LoudnessMeter(int channels, int32_t rate);
    LoudnessMeter(LoudnessMeter&&) noexcept = default;
    LoudnessMeter& operator=(LoudnessMeter&&) noexcept = default;
    ~LoudnessMeter() = default;

    // False when libebur128 could not make its state (no memory, a rate it refuses); every
    // other call is then harmless and figures() fails.
    bool ok() const { return state_ != nullptr && ok_; }
    int channels() const { return channels_; }

    // Interleaved frames (samples.size() / channels of them). The samples are only read.
    void add(std::span<const int16_t> samples);
    // The same for floating-point samples, full scale +-1.0.
    void add(std::span<const float> samples);
    // The figures of everything added so far; false when the meter is not ok().
    bool figures(LoudnessFigures& out) const;

private:
    struct StateDeleter {
        void operator()(ebur128_state* state) const;
    };
    std::unique_ptr<ebur128_state, StateDeleter> state_;
    TruePeakMeter true_peak_;  // libebur128's interpolator, faster; it keeps the sample peak
    int channels_ = 0;
    bool ok_ = true;
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
