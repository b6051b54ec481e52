// The plugins' float samples and the chain's 16-bit ones. Hosts that read a 16-bit file give
// x / 32768 (libsndfile, ffmpeg, the LADSPA SDK's applyplugin), so an input float is scaled by
// 32768 and rounded: those hosts hand the chain exactly the file's samples.
//
// Hosts that write a 16-bit file differ in how they scale back: ffmpeg rounds y * 32768,
// libsndfile (lv2apply) rounds y * 32767 and applyplugin takes the floor of y * 32768. The LV2
// plugins give y / 32767.5, which both rounding scalings take back to y: every y up to 32672 in
// size; above that, a value both take back where one exists, else y / 32768 for the 32768
// scaling (no float within full scale rounds back to an odd y above 32672, or to -32768, under
// both). The LADSPA plugins give y / 32768 exactly, which rounding and the floor take back to y
// alike. Outputs never leave -1.0 .. 1.0.
#pragma once

#include <array>
#include <cstdint>

namespace zv::plugin {

// A host's float as the chain's 16-bit input: x * 32768 rounded to the nearest (ties to even),
// clamped to the 16-bit range; NaN becomes 0.
int16_t sample_from_float(float x);
// The same for n frames of two channels, into interleaved stereo samples.
void samples_from_floats(const float* left, const float* right, int16_t* out, int n);

enum class OutputScale {
    Halfway,  // y / 32767.5: LV2
    Exact,    // y / 32768: LADSPA
};

// The chain's 16-bit output as the host's floats.
class OutputScaling {
public:
    explicit OutputScaling(OutputScale scale);
    float operator()(int16_t y) const;
    // The same for one channel (0 or 1) of n interleaved stereo frames.
    void to_floats(const int16_t* interleaved, int channel, float* out, int n) const;
    // The factor a resampled stream is scaled by (which has no 16-bit samples to round back to).
    float factor() const { return factor_; }

    // Outputs above this size take their halfway value from a table.
    static constexpr int HALFWAY_PLAIN_MAX = 32672;

private:
    OutputScale scale_;
    float factor_;
    // The halfway values of y = 32673 .. 32767 and of y = -32673 .. -32768 (the writers clamp
    // at 32767 and -32768, so the two ends differ).
    std::array<float, 32767 - HALFWAY_PLAIN_MAX> top_{};
    std::array<float, 32768 - HALFWAY_PLAIN_MAX> bottom_{};
};

}  // namespace zv::plugin
