// Level gain applied inside the bands from a song's scanned peak (16-bit sample units).
#pragma once

namespace zv {

constexpr double MAX_NORMALISATION_GAIN = 16.0;

// 1 for a silent song (peak 0) or one that already reaches full scale; otherwise the gain that
// brings the peak to full scale, at most 16 (24 dB). A peak outside 1..32766 (a negative value
// from a damaged playlist, or the magnitude 32768 of -32768) also gives 1, never a gain below
// unity or below zero.
inline double normalisation_gain_for_peak(int peak) {
    if (peak <= 0 || peak >= 32767) {
        return 1.0;
    }
    const double gain = 32767.0 / peak;
    return gain > MAX_NORMALISATION_GAIN ? MAX_NORMALISATION_GAIN : gain;
}

}  // namespace zv
