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
// All-pass lengths in order along each reverberator: {left, right} per stage.
constexpr int ROOM1_ALLPASS[3][2] = {{882, 782}, {86, 58}, {234, 262}};
constexpr int ROOM2_ALLPASS[3][2] = {{858, 742}, {82, 62}, {206, 282}};

int clamped_length(double v, int lo, int hi) {
    if (!(v >= lo)) {
        return lo;
    }
    if (v >= hi) {
        return hi;
    }
    return static_cast<int>(v);
}

[[gnu::always_inline]] inline double clamp_detector(double v) {
    return std::clamp(v, 0.0, DETECTOR_LIMIT);
}

// One room: A = L delayed N and B = R delayed N + 98 feed the left reverberator with
// 0.7 A + 0.3 B and the right with 0.7 B + 0.3 A; returns (P, Q).
[[gnu::always_inline]] inline Pair reverberators(DualDelayLine<ROOM_LINE_CAPACITY>& in,
                                                 std::array<DualAllPass, 3>& ap,
                                                 StereoBiquad& filter, Pair x, int len) {
    Pair ab = step(in, x, len, len + ROOM_RIGHT_EXTRA);
    Pair v = splat(0.7) * ab + splat(0.3) * swap2(ab);
    v = step(ap[0], v);
    v = step(ap[1], v);
    v = step(ap[2], v);
    return step(filter, v);
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

namespace {

// The enhancer over frames of a chunk for one stereo type, its sections and line position
// held in locals while the frames run.
template <int TYPE>
[[gnu::always_inline]] inline void enhance(double& peak, ChainSections& cs, EnhancerLine& line,
                                           const EnhancerFactors& e, Pair* frames_in_out,
                                           int32_t frames) {
    StereoFirstOrder level_section = cs.enhancer_level;
    FirstOrderSection lp4 = cs.enhancer_lp4;
    FirstOrderSection hp = cs.enhancer_hp;
    FirstOrderSection side_lp = cs.enhancer_side_lp;
    double* buf = line.line.buf.data();
    int pos = line.line.pos;
    const int len = e.delay_len;
    const double level_gain = e.level;
    const bool on = e.on;
    double top = peak;
    for (int32_t i = 0; i < frames; ++i) {
        Pair x = frames_in_out[i];
        double l = lane_l(x);
        double r = lane_r(x);
        double side = l - r;
        Pair level = step(level_section, abs2(x));
        if constexpr (TYPE == 2) {
            double k = clamp_detector(8.0 * step(lp4, std::abs(side)));
            side = side * k / FULL_SCALE;
        } else if constexpr (TYPE == 3) {
            double k = clamp_detector(8.0 * step(lp4, std::abs(side))) / FULL_SCALE;
            side = side * (k * k);
        } else if constexpr (TYPE == 4 || TYPE == 5) {
            double m = clamp_detector(std::min(lane_l(level), lane_r(level)) * 16.0) / FULL_SCALE;
            double t = TYPE == 4 ? clamp_detector(16.0 * step(hp, step(lp4, std::abs(side))))
                                 : clamp_detector(8.0 * step(hp, step(lp4, std::abs(l + r))));
            side = side * t / FULL_SCALE * m;
        }
        side = lookahead_step(buf, pos, side, len);
        side = step(side_lp, side * level_gain);
        if (on) {
            x = pair(l + side, r - side);
        } else {
            side = 0.0;
        }
        if (side > top) {
            top = side;
        }
        frames_in_out[i] = x;
    }
    cs.enhancer_level = level_section;
    cs.enhancer_lp4 = lp4;
    cs.enhancer_hp = hp;
    cs.enhancer_side_lp = side_lp;
    line.line.pos = pos;
    peak = top;
}

[[gnu::always_inline]] inline void enhance_chunk(double& peak, ChainSections& cs,
                                                 EnhancerLine& line, const EnhancerFactors& e,
                                                 Pair* x, int32_t frames) {
    // The first write after start wipes the whole line once, before the line is read.
    if (!line.wiped) {
        line.line.buf.fill(0.0);
        line.wiped = true;
    }
    switch (e.type) {
        case 2:
            enhance<2>(peak, cs, line, e, x, frames);
            break;
        case 3:
            enhance<3>(peak, cs, line, e, x, frames);
            break;
        case 4:
            enhance<4>(peak, cs, line, e, x, frames);
            break;
        case 5:
            enhance<5>(peak, cs, line, e, x, frames);
            break;
        default:
            enhance<1>(peak, cs, line, e, x, frames);
            break;
    }
}

}  // namespace

void run_enhancer(double& peak, ChainSections& cs, EnhancerLine& line, const EnhancerFactors& e,
                  Pair* x, int32_t frames) {
    enhance_chunk(peak, cs, line, e, x, frames);
}

#if ZV_AVX_VARIANT
ZV_TARGET_AVX void run_enhancer_avx(double& peak, ChainSections& cs, EnhancerLine& line,
                                    const EnhancerFactors& e, Pair* x, int32_t frames) {
    enhance_chunk(peak, cs, line, e, x, frames);
}
#endif

Pair run_enhancer(double& peak, ChainSections& cs, EnhancerLine& line, const EnhancerFactors& e,
                  Pair x) {
    run_enhancer(peak, cs, line, e, &x, 1);
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
    for (int i = 0; i < 3; ++i) {
        for (int lane = 0; lane < 2; ++lane) {
            room.room1_allpass[i].len[lane] = ROOM1_ALLPASS[i][lane];
            room.room2_allpass[i].len[lane] = ROOM2_ALLPASS[i][lane];
        }
        room.room1_allpass[i].g = splat(ALLPASS_GAIN);
        room.room2_allpass[i].g = splat(ALLPASS_GAIN);
    }
    return f;
}

namespace {

[[gnu::always_inline]] inline Pair room_frame(VirtualRoomState& room, const RoomFactors& f,
                                              Pair x) {
    // Cross-feed: each ear hears the other side head-shadowed and late.
    Pair cross = step(room.crossfeed_shelf, x);
    cross = step(room.crossfeed_lp, cross);
    cross = step(room.crossfeed, cross, f.crossfeed_len);

    // Room 1, then room 2 fed alike; tails from two shelves and a short delay each.
    Pair pq1 = reverberators(room.room1_in, room.room1_allpass, room.room1_filter, x, f.room1_len);
    Pair tail1 = step(room.room1_tail_shelf_1, pq1);
    tail1 = step(room.room1_tail_shelf_2, tail1);
    tail1 = step(room.room1_tails, tail1, ROOM1_TAIL_DELAY);  // (T1, U1)
    Pair pq2 = reverberators(room.room2_in, room.room2_allpass, room.room2_filter, x, f.room2_len);
    Pair tail2 = step(room.room2_tail_shelf_1, pq2);
    tail2 = step(room.room2_tail_shelf_2, tail2);
    tail2 = step(room.room2_tails, tail2, ROOM2_TAIL_DELAY);  // (T2, U2)

    // Left: U1 + P1 + P2 + U2; right: T1 + Q1 + Q2 + T2.
    Pair wet = swap2(tail1) + pq1 + pq2 + swap2(tail2);
    return wet * splat(f.reverb_pct) / splat(100.0) * splat(CROSS_MIX) +
           (swap2(cross) + x) * splat(CROSS_MIX);
}

}  // namespace

Pair run_room(VirtualRoomState& room, const RoomFactors& f, Pair x) {
    return room_frame(room, f, x);
}

void run_room(VirtualRoomState& room, const RoomFactors& f, Pair* x, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        x[i] = room_frame(room, f, x[i]);
    }
}

#if ZV_AVX_VARIANT
ZV_TARGET_AVX void run_room_avx(VirtualRoomState& room, const RoomFactors& f, Pair* x,
                                int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        x[i] = room_frame(room, f, x[i]);
    }
}
#endif

}  // namespace zv
