#include "engine/normalisation.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(NormalisationGain, PeakToGainRule) {
    EXPECT_EQ(normalisation_gain_for_peak(0), 1.0);
    EXPECT_EQ(normalisation_gain_for_peak(32767), 1.0);
    EXPECT_EQ(normalisation_gain_for_peak(16384), 32767.0 / 16384);
    EXPECT_EQ(normalisation_gain_for_peak(32766), 32767.0 / 32766);
    // At most 16 (24 dB): a near-silent song is not blown up to full scale.
    EXPECT_EQ(normalisation_gain_for_peak(2048), 32767.0 / 2048);
    EXPECT_EQ(normalisation_gain_for_peak(2047), 16.0);
    EXPECT_EQ(normalisation_gain_for_peak(1), 16.0);
    // Impossible peaks never attenuate or invert.
    EXPECT_EQ(normalisation_gain_for_peak(32768), 1.0);
    EXPECT_EQ(normalisation_gain_for_peak(-5), 1.0);
}

}  // namespace
}  // namespace zv
