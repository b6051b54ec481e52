#include "engine/quad_lanes.h"

namespace zv {

void set_halves(QuadFirstOrder& q, const StereoFirstOrder& lo, const StereoFirstOrder& hi) {
    set_halves(q.b0, lo.b0, hi.b0);
    set_halves(q.b1, lo.b1, hi.b1);
    set_halves(q.a1, lo.a1, hi.a1);
    set_halves(q.x1, lo.x1, hi.x1);
    set_halves(q.y1, lo.y1, hi.y1);
}

void set_halves(QuadDoubledFirstOrder& q, const StereoDoubledFirstOrder& lo,
                const StereoDoubledFirstOrder& hi) {
    set_halves(q.b0, lo.b0, hi.b0);
    set_halves(q.b1, lo.b1, hi.b1);
    set_halves(q.a1, lo.a1, hi.a1);
    set_halves(q.x1, lo.x1, hi.x1);
    set_halves(q.y1, lo.y1, hi.y1);
    set_halves(q.z1, lo.z1, hi.z1);
}

void set_halves(QuadBiquad& q, const StereoBiquad& lo, const StereoBiquad& hi) {
    set_halves(q.b0, lo.b0, hi.b0);
    set_halves(q.b1, lo.b1, hi.b1);
    set_halves(q.b2, lo.b2, hi.b2);
    set_halves(q.a1, lo.a1, hi.a1);
    set_halves(q.a2, lo.a2, hi.a2);
    set_halves(q.x1, lo.x1, hi.x1);
    set_halves(q.x2, lo.x2, hi.x2);
    set_halves(q.y1, lo.y1, hi.y1);
    set_halves(q.y2, lo.y2, hi.y2);
}

void set_halves(QuadThirdOrder& q, const StereoThirdOrder& lo, const StereoThirdOrder& hi) {
    for (int k = 0; k < 4; ++k) {
        set_halves(q.b[k], lo.b[k], hi.b[k]);
        set_halves(q.a[k], lo.a[k], hi.a[k]);
    }
    for (int k = 0; k < 3; ++k) {
        set_halves(q.x[k], lo.x[k], hi.x[k]);
        set_halves(q.y[k], lo.y[k], hi.y[k]);
    }
}

void get_halves(const QuadFirstOrder& q, StereoFirstOrder& lo, StereoFirstOrder& hi) {
    lo.x1 = low_half(q.x1);
    hi.x1 = high_half(q.x1);
    lo.y1 = low_half(q.y1);
    hi.y1 = high_half(q.y1);
}

void get_halves(const QuadDoubledFirstOrder& q, StereoDoubledFirstOrder& lo,
                StereoDoubledFirstOrder& hi) {
    lo.x1 = low_half(q.x1);
    hi.x1 = high_half(q.x1);
    lo.y1 = low_half(q.y1);
    hi.y1 = high_half(q.y1);
    lo.z1 = low_half(q.z1);
    hi.z1 = high_half(q.z1);
}

void get_halves(const QuadBiquad& q, StereoBiquad& lo, StereoBiquad& hi) {
    lo.x1 = low_half(q.x1);
    hi.x1 = high_half(q.x1);
    lo.x2 = low_half(q.x2);
    hi.x2 = high_half(q.x2);
    lo.y1 = low_half(q.y1);
    hi.y1 = high_half(q.y1);
    lo.y2 = low_half(q.y2);
    hi.y2 = high_half(q.y2);
}

void get_halves(const QuadThirdOrder& q, StereoThirdOrder& lo, StereoThirdOrder& hi) {
    for (int k = 0; k < 3; ++k) {
        lo.x[k] = low_half(q.x[k]);
        hi.x[k] = high_half(q.x[k]);
        lo.y[k] = low_half(q.y[k]);
        hi.y[k] = high_half(q.y[k]);
    }
}

}  // namespace zv
