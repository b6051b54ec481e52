#include "engine/stereo_stages.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zv {

namespace {

constexpr double FULL_SCALE = 32767.0;
constexpr double DETECTOR_LIMIT = 32760.0;
constexpr double SPEED_OF_SOUND_CM = 34000.0;
constexpr double SPEED_OF_SOUND_M = 340.0;
constexpr int ROOM_LEN_MAX = 4700;
constexpr int ROOM_RIGHT_EXTRA = 98;  // the right input of each room waits 98 frames longer
constexpr int ROOM1_TAIL_DELAY = 30;
constexpr int ROOM2_TAIL_DELAY = 6;
constexpr double ALLPASS_GAIN = -0.5;
constexpr double CROSS_MIX = 0.707;
// Room 1 left, room 1 right, room 2 left, room 2 right; three all-passes each, in order.
constexpr std::array<int, ROOM_ALLPASS_COUNT> ALLPASS_LENGTHS = {882, 86, 234, 782, 58, 262,
                                                                 858, 82, 206, 742, 62, 282};

int clamped_length(double v, int lo, int hi) {
    if (!(v >= lo)) {
        return lo;
    }
    if (v >= hi) {
        return hi;
    }
    return static_cast<int>(v);
}

double clamp_detector(double v) {
    return std::clamp(v, 0.0, DETECTOR_LIMIT);
}

double allpass_chain(std::array<AllPass, ROOM_ALLPASS_COUNT>& ap, int first, double x) {
    x = step(ap[first], x);
    x = step(ap[first + 1], x);
    return step(ap[first + 2], x);
}

}  // namespace

int enhancer_delay_len(int rate, double stereo_delay_ms) {
    return clamped_length(rate / 1000.0 * stereo_delay_ms, 1, ENHANCER_LINE_CAPACITY - 1);
}

EnhancerFactors prepare_enhancer(const ProcessorParams& q, int rate) {
    EnhancerFactors e;
    e.level = std::pow(10.0, q.settings.stereo_level_db / 20.0);
    e.delay_len = enhancer_delay_len(rate, q.settings.stereo_delay_ms);
    e.type = choice_of(q.settings.stereo_type + 0.5);
    e.on = q.switches.stereo_enhance == 1;
    return e;
}

Pair run_enhancer(ProcessorSettings& st, ChainSections& cs, EnhancerLine& line,
                  const EnhancerFactors& e, Pair x) {
    double l = lane_l(x);
    double r = lane_r(x);
    double side = l - r;
    Pair level = step(cs.enhancer_level, abs2(x));
    double m = clamp_detector(std::min(lane_l(level), lane_r(level)) * 16.0) / FULL_SCALE;
    switch (e.type) {
        case 2: {
            double k = clamp_detector(8.0 * step(cs.enhancer_lp4, std::abs(side)));
            side = side * k / FULL_SCALE;
            break;
        }
        case 3: {
            double k = clamp_detector(8.0 * step(cs.enhancer_lp4, std::abs(side))) / FULL_SCALE;
            side = side * (k * k);
            break;
        }
        case 4: {
            double t =
                clamp_detector(16.0 * step(cs.enhancer_hp, step(cs.enhancer_lp4, std::abs(side))));
            side = side * t / FULL_SCALE * m;
            break;
        }
        case 5: {
            double t =
                clamp_detector(8.0 * step(cs.enhancer_hp, step(cs.enhancer_lp4, std::abs(l + r))));
            side = side * t / FULL_SCALE * m;
            break;
        }
        default:
            break;
    }
    if (!line.wiped) {
        line.line.buf.fill(0.0);
        line.wiped = true;
    }
    side = step(line.line, side, e.delay_len);
    side = step(cs.enhancer_side_lp, side * e.level);
    if (e.on) {
        x = pair(l + side, r - side);
    } else {
        side = 0.0;
    }
    if (side > st.enhancer_peak) {
        st.enhancer_peak = side;
    }
    return x;
}

RoomFactors prepare_room(const ProcessorParams& q, int rate, VirtualRoomState& room) {
    RoomFactors f;
    f.crossfeed_len =
        clamped_length(q.interaural_delay_cm / SPEED_OF_SOUND_CM * rate, 1, ROOM_LINE_CAPACITY);
    double room1 = rate * q.room_size_m / SPEED_OF_SOUND_M;
    f.room1_len = clamped_length(room1, 1, ROOM_LEN_MAX);
    f.room2_len = clamped_length(room1 * 1.2, 1, ROOM_LEN_MAX);
    f.reverb_pct = q.reverb_level_pct;
    for (int i = 0; i < ROOM_ALLPASS_COUNT; ++i) {
        room.allpass[i].g = ALLPASS_GAIN;
        room.allpass[i].len = ALLPASS_LENGTHS[i];
    }
    return f;
}

Pair run_room(VirtualRoomState& room, const RoomFactors& f, Pair x) {
    const double l = lane_l(x);
    const double r = lane_r(x);
    // Cross-feed: each ear hears the other side head-shadowed and late.
    Pair cross = step(room.crossfeed_shelf, x);
    cross = step(room.crossfeed_lp, cross);
    cross = step(room.crossfeed, cross, f.crossfeed_len);

    // Room 1.
    double a1 = step(room.room1_a, l, f.room1_len);
    double b1 = step(room.room1_b, r, f.room1_len + ROOM_RIGHT_EXTRA);
    double p1 = step(room.room1_lp, allpass_chain(room.allpass, 0, 0.7 * a1 + 0.3 * b1));
    double q1 = step(room.room1_notch, allpass_chain(room.allpass, 3, 0.7 * b1 + 0.3 * a1));
    Pair tail1 = step(room.room1_tail_shelf_1, pair(p1, q1));
    tail1 = step(room.room1_tail_shelf_2, tail1);
    tail1 = step(room.room1_tails, tail1, ROOM1_TAIL_DELAY);  // (T1, U1)

    // Room 2, fed like room 1.
    double a2 = step(room.room2_a, l, f.room2_len);
    double b2 = step(room.room2_b, r, f.room2_len + ROOM_RIGHT_EXTRA);
    double p2 = step(room.room2_lp, allpass_chain(room.allpass, 6, 0.7 * a2 + 0.3 * b2));
    double q2 = step(room.room2_notch, allpass_chain(room.allpass, 9, 0.7 * b2 + 0.3 * a2));
    Pair tail2 = step(room.room2_tail_shelf_1, pair(p2, q2));
    tail2 = step(room.room2_tail_shelf_2, tail2);
    tail2 = step(room.room2_tails, tail2, ROOM2_TAIL_DELAY);  // (T2, U2)

    double t1 = lane_l(tail1), u1 = lane_r(tail1);
    double t2 = lane_l(tail2), u2 = lane_r(tail2);
    Pair wet = pair(u1 + p1 + p2 + u2, t1 + q1 + q2 + t2);
    return wet * splat(f.reverb_pct) / splat(100.0) * splat(CROSS_MIX) +
           (swap2(cross) + x) * splat(CROSS_MIX);
}

}  // namespace zv
