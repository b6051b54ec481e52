// The primitive sections: exact latencies of the lines, the all-pass recursion, the stereo
// lanes computing what one scalar section computes, and the clip function.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/filter_sections.h"

namespace zv {
namespace {

TEST(Lines, DelayLineGivesTheValueWrittenNFramesEarlier) {
    auto line = std::make_unique<DelayLine<4800>>();
    for (int n = 0; n < 200; ++n) {
        double y = step(*line, n + 1.0, 37);
        EXPECT_EQ(y, n >= 37 ? n + 1.0 - 37 : 0.0) << n;
    }
}

TEST(Lines, LookaheadLineOfLengthNDelaysNMinusOne) {
    for (int len : {1, 2, 110, 880, 4410}) {
        auto line = std::make_unique<LookaheadLine<4800>>();
        for (int n = 0; n < 6000; ++n) {
            double y = step(*line, n + 1.0, len);
            ASSERT_EQ(y, n >= len - 1 ? n + 1.0 - (len - 1) : 0.0) << len << " " << n;
        }
    }
}

TEST(Lines, AShortenedLineFoldsItsPositionLikeARemainder) {
    // Position 100 in a line cut to 30 continues at 100 mod 30 = 10, as "p mod N" does.
    DelayLine<4800> d;
    d.pos = 100;
    d.buf[10] = 7.0;
    EXPECT_EQ(step(d, 1.0, 30), 7.0);
    EXPECT_EQ(d.pos, 11);

    LookaheadLine<4800> l;
    l.pos = 99;  // (99 + 1) mod 30 = 10 is written, 11 is read
    l.buf[11] = 5.0;
    EXPECT_EQ(step(l, 1.0, 30), 5.0);
    EXPECT_EQ(l.pos, 10);
}

TEST(Lines, StereoLinesDelayEachLaneAlike) {
    auto line = std::make_unique<StereoLookaheadLine<900>>();
    for (int n = 0; n < 1000; ++n) {
        Pair y = step(*line, pair(n + 1.0, -(n + 1.0)), 440);
        double expect = n >= 439 ? n + 1.0 - 439 : 0.0;
        ASSERT_EQ(lane_l(y), expect);
        ASSERT_EQ(lane_r(y), -expect);
    }
}

TEST(AllPass, FollowsItsRecursionAndKeepsEnergy) {
    auto a = std::make_unique<AllPass>();
    a->g = -0.5;
    a->len = 5;
    std::vector<double> buf(5, 0.0);
    double energy = 0.0;
    for (int n = 0; n < 4000; ++n) {
        double x = n == 0 ? 1.0 : 0.0;
        // Reference: d = buf[p]; w = d*g + x; buf[p] = w; y = d - g*w.
        double d = buf[n % 5];
        double w = d * -0.5 + x;
        buf[n % 5] = w;
        double expect = d - -0.5 * w;
        double y = step(*a, x);
        ASSERT_EQ(y, expect) << n;
        energy += y * y;
    }
    EXPECT_NEAR(energy, 1.0, 1e-9);  // an all-pass passes all of an impulse's energy
}

TEST(Sections, StereoLanesMatchTheScalarFirstOrderSection) {
    const FirstOrderCoeffs c{0.0123, 0.0123, -0.9754};
    FirstOrderSection left, right;
    install(left, c);
    install(right, c);
    StereoFirstOrder both;
    install(both, c);
    for (int n = 0; n < 500; ++n) {
        double xl = std::sin(n * 0.1) * 1000.0, xr = std::cos(n * 0.37) * 3000.0;
        Pair y = step(both, pair(xl, xr));
        ASSERT_EQ(lane_l(y), step(left, xl));
        ASSERT_EQ(lane_r(y), step(right, xr));
    }
}

TEST(Sections, DoubledFirstOrderIsTwoIdenticalSectionsInCascade) {
    const FirstOrderCoeffs c{0.9, -0.9, -0.8};
    FirstOrderSection first, second;
    install(first, c);
    install(second, c);
    StereoDoubledFirstOrder doubled;
    install(doubled, c);
    for (int n = 0; n < 300; ++n) {
        double x = (n % 17) - 8.0;
        double expect = step(second, step(first, x));
        ASSERT_EQ(lane_l(step(doubled, splat(x))), expect) << n;
    }
}

TEST(Sections, BiquadStereoMatchesScalarDirectForm) {
    const BiquadCoeffs c{0.9847359, -1.999543, 1.015264, -1.969481, 0.9699308};
    BiquadSection scalar;
    install(scalar, c);
    StereoBiquad stereo;
    install(stereo, c);
    for (int n = 0; n < 300; ++n) {
        double x = n == 3 ? 10000.0 : (n % 5) * 10.0;
        ASSERT_EQ(lane_r(step(stereo, pair(0.0, x))), step(scalar, x)) << n;
    }
}

TEST(Sections, FirImpulseResponseIsItsTaps) {
    Fir23Coeffs c;
    for (int k = 0; k < FIR_TAPS; ++k) {
        c.c[k] = k + 1.0;
    }
    StereoFir23 f;
    install(f, c);
    for (int n = 0; n < 40; ++n) {
        Pair y = step(f, n == 0 ? pair(1.0, 2.0) : splat(0.0));
        double expect = n < FIR_TAPS ? n + 1.0 : 0.0;
        ASSERT_EQ(lane_l(y), expect) << n;
        ASSERT_EQ(lane_r(y), 2.0 * expect) << n;
    }
}

TEST(GainFunctions, ClipScalesTheExcessAndRaisesTheFlag) {
    int32_t flag = 0;
    EXPECT_EQ(clip(100.0, 200.0, 0.125, flag), 100.0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(clip(300.0, 200.0, 0.125, flag), 212.5);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(clip(-300.0, 200.0, 0.0), -200.0);
    EXPECT_EQ(over(-5.0, 3.0), 2.0);
    EXPECT_EQ(over(2.0, 3.0), 0.0);

    Pair x = pair(300.0, -300.0);
    EXPECT_TRUE(clip2(x, splat(200.0), splat(0.125)));
    EXPECT_EQ(lane_l(x), clip(300.0, 200.0, 0.125));
    EXPECT_EQ(lane_r(x), clip(-300.0, 200.0, 0.125));
    Pair inside = pair(10.0, -10.0);
    EXPECT_FALSE(clip2(inside, splat(200.0), splat(0.0)));
    EXPECT_EQ(lane_r(inside), -10.0);
}

}  // namespace
}  // namespace zv
