// The lane operations give the same bits in both implementations (SSE2 and plain doubles):
// this file runs in the engine tests of each.
#include "engine/lanes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace zv {
namespace {

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

TEST(Lanes, TheBuildUsesTheLanesItAskedFor) {
#if defined(ZV_SCALAR_LANES) || !defined(__SSE2__)
    EXPECT_EQ(ZV_SSE2_LANES, 0);
#else
    EXPECT_EQ(ZV_SSE2_LANES, 1);
#endif
}

TEST(Lanes, MaxMinAbsAndNegKeepSignsAndNaNsAsSse2Does) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // max and min give the second operand unless the first is strictly beyond it.
    Pair m = max2(pair(0.0, nan), pair(-0.0, 1.0));
    EXPECT_EQ(bits(lane_l(m)), bits(-0.0));
    EXPECT_EQ(lane_r(m), 1.0);
    m = max2(pair(1.0, -0.0), pair(nan, 0.0));
    EXPECT_TRUE(std::isnan(lane_l(m)));
    EXPECT_EQ(bits(lane_r(m)), bits(0.0));
    m = min2(pair(-0.0, nan), pair(0.0, 2.0));
    EXPECT_EQ(bits(lane_l(m)), bits(0.0));
    EXPECT_EQ(lane_r(m), 2.0);

    Pair a = abs2(pair(-0.0, -3.5));
    EXPECT_EQ(bits(lane_l(a)), bits(0.0));
    EXPECT_EQ(lane_r(a), 3.5);
    Pair n = neg2(pair(0.0, -2.0));
    EXPECT_EQ(bits(lane_l(n)), bits(-0.0));
    EXPECT_EQ(lane_r(n), 2.0);
    EXPECT_EQ(lane_l(sqrt2(pair(2.0, 9.0))), std::sqrt(2.0));
}

TEST(Lanes, ShufflesCompareAndConvert) {
    Pair a = pair(1.0, 2.0), b = pair(3.0, 4.0);
    EXPECT_EQ(lane_l(swap2(a)), 2.0);
    EXPECT_EQ(lane_r(lefts(a, b)), 3.0);
    EXPECT_EQ(lane_l(rights(a, b)), 2.0);
    EXPECT_EQ(greater_lanes(pair(5.0, 0.0), splat(1.0)), 1);
    EXPECT_EQ(greater_lanes(pair(0.0, 5.0), splat(1.0)), 2);
    EXPECT_EQ(greater_lanes(pair(std::nan(""), 1.0), splat(1.0)), 0);

    int16_t l = 0, r = 0;
    truncate_to_i16(pair(-4.99, 32760.9), l, r);
    EXPECT_EQ(l, -4);
    EXPECT_EQ(r, 32760);
    // Values no int32 holds give INT32_MIN, whose low half is 0. (Read at run time: a
    // compiler folding the conversion of a constant need not give what the processor does.)
    volatile double huge = 1e300;
    volatile double not_a_number = std::nan("");
    truncate_to_i16(pair(not_a_number, huge), l, r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
    volatile double low = -2147483648.5, high = 2147483647.9;
    EXPECT_EQ(truncate_to_i32(low), INT32_MIN + 0);
    EXPECT_EQ(truncate_to_i32(high), INT32_MAX);

    double left[2] = {7.0, 0.0}, right[2] = {0.0, 8.0};
    Pair v = load_lanes(&left[0], &right[1]);
    EXPECT_EQ(lane_l(v), 7.0);
    EXPECT_EQ(lane_r(v), 8.0);
    store_lanes(&left[1], &right[0], pair(1.5, 2.5));
    EXPECT_EQ(left[1], 1.5);
    EXPECT_EQ(right[0], 2.5);
}

TEST(Lanes, ClipActsPerLaneAndSaysWhetherEitherDid) {
    Pair x = pair(10.0, -10.0);
    EXPECT_TRUE(clip2(x, splat(6.0), splat(0.5)));
    EXPECT_EQ(lane_l(x), 8.0);
    EXPECT_EQ(lane_r(x), -8.0);
    x = pair(3.0, -3.0);
    EXPECT_FALSE(clip2(x, splat(6.0), splat(0.0)));
    EXPECT_EQ(lane_l(x), 3.0);
    x = pair(1.0, 9.0);
    EXPECT_TRUE(clip2(x, splat(6.0), zero2()));
    EXPECT_EQ(lane_l(x), 1.0);
    EXPECT_EQ(lane_r(x), 6.0);
}

}  // namespace
}  // namespace zv
