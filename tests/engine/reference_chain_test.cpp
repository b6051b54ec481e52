// The engine against the plain model of reference_chain.h, byte for byte, over presets,
// switches, choices and rates.
#include <gtest/gtest.h>

#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "engine/processor.h"
#include "tests/engine/reference_chain.h"

namespace zv::test {

namespace {
constexpr double GATE_K[6] = {1.8867473711207905, 3.186876717566609, 3.3562650531220712,
                              5.011033834839105,  3.607278367243023, 4.551510776810894};
}

double ReferenceChain::band_frame(int b, const double in[2], double out[2]) {
    const bool gate_on = q_.switches.noise_gate == 1;
    ProcessorBand& band = q_.bands[b];
    double x[2];
    for (int ch = 0; ch < 2; ++ch) {
        double v = in[ch] * g_[b];
        switch (b) {
            case 0:
                v = step(b1_lp_[ch], v);
                break;
            case 1:
                v = b2_hp_[ch].step(v);
                break;
            case 2:
                v = step(b3_lp_[ch], b3_hp_[ch].step(v));
                break;
            case 3:
                v = step(b4_lp_[ch], b4_hp_[ch].step(v));
                break;
            case 4:
                v = step(b5_presence_[ch], step(b5_lp_[ch], b5_hp_[ch].step(v)));
                break;
            default:
                v = b6_hp_[ch].step(v);
                break;
        }
        x[ch] = v;
    }
    double gate = 1.0;
    if (gate_on) {
        double e = step(gate_[b], std::max(std::abs(x[0]), std::abs(x[1])));
        gate = std::clamp(k_gate_[b] * e / 32867.0 * GATE_K[b], 0.0, 1.0);
    }
    band.gate_gain = gate;
    meters.gate_indicator[b] = gate > 0.9 ? 3 : gate > 0.5 ? 2 : gate > 0.25 ? 1 : 0;
    int32_t& clip_flag = meters.band_clip_flag[b];
    const double gr = band.gain_reduction;
    double d;
    if (b == 0) {
        int a = std::clamp(static_cast<int>(band.bass_attack_ms * 44.1), 1, 4799);
        band.delayed_gain_reduction = bass_line_.step(gr, a);
        d = 1.0 - band.delayed_gain_reduction / 32767.0;
    } else {
        d = 1.0 - gr / 32767.0;
    }
    for (int ch = 0; ch < 2; ++ch) {
        double u = audio_[2 * b + ch].step(n_ * x[ch], lookahead_);
        double a = d * u * gate;
        double post;
        switch (b) {
            case 0:
                post = step(b1_post_[ch], clip(a, t_clip_[b], slope_, clip_flag));
                break;
            case 1:
                post = a;
                break;
            case 2: {
                double c = clip(a, t_clip_[b], 0.0, clip_flag);
                post = step(b3_post_[ch], c + step(b3_restore_[ch], a - c));
                break;
            }
            case 3: {
                double c = clip(a, t_clip_[b], 0.0, clip_flag);
                post = step(b4_post_[ch], c + step(b4_restore_[ch], a - c));
                break;
            }
            case 4:
                post = step(b5_post_[ch], clip(a, t_clip_[b], 0.0, clip_flag));
                break;
            default:
                post = clip(a, t_clip_[b], 0.0, clip_flag);
                break;
        }
        out[ch] = output_[2 * b + ch].step(post * mix_[b], 900 - lookahead_);
        sidechain_[b][ch] = n_ * x[ch] * (1.0 - gr / 32767.0);
    }
    double p[2] = {0.0, 0.0};
    if (b == 4 || b == 5) {
        double k = b == 4 ? coupling5_ : coupling6_;
        p[0] = sidechain_[b - 1][0] * k;
        p[1] = sidechain_[b - 1][1] * k;
    }
    double o = std::max(over(std::max(std::abs(sidechain_[b][0]), std::abs(p[0])), t_vca_[b]),
                        over(std::max(std::abs(sidechain_[b][1]), std::abs(p[1])), t_vca_[b]));
    double s;
    if (b == 0) {
        s = step(release_[0], o);
    } else {
        double c = step(release_[b], o);
        double dd = step(attack_[b], o);
        release_[b].y1 = attack_[b].y1 = std::max(c, dd);
        double r = step(copy_[b], o);
        double w = std::min(1.0, std::sqrt(step(program_[b], c + dd) / 32767.0));
        s = (1.0 - w) * c + w * r;
    }
    band.gain_reduction = std::clamp(drive_[b] * s, -31743.0, 31743.0);
    double& peak = meters.band_gain_reduction_peak[b];
    peak = std::max(peak, band.gain_reduction);
    return 0.0;
}

void ReferenceChain::run(const int16_t* in, int16_t* out, int frames) {
    ProcessorSettings& st = q_.settings;
    const ProcessorSwitches& sw = q_.switches;
    const double agc_drive = db(st.agc_drive_db);
    const double t_agc = 32767.0 * db(st.agc_threshold_db);
    const double c_fin = 32000.0 * db(st.final_clip_threshold_db);
    const double level = db(st.stereo_level_db);
    const double t_hf = 32767.0 * db(st.hf_threshold_db);
    const double hf_drive = db(st.hf_drive_db);
    const double c_ovs = 32767.0 * db(st.overshoot_threshold_db);
    const int speed = std::clamp(static_cast<int>(st.agc_release + 0.5), 1, 4);
    q_.normalisation_gain = std::clamp(q_.normalisation_gain, 1.0, 16.0);
    n_ = q_.normalisation_gain;
    for (int b = 0; b < 6; ++b) {
        const ProcessorBand& band = q_.bands[b];
        g_[b] = db(band.gain_db);
        drive_[b] = db(band.limiter_drive_db);
        t_vca_[b] = 32767.0 * db(band.vca_threshold_db);
        t_clip_[b] = 32767.0 * db(band.clip_threshold_db);
        mix_[b] = db(band.out_mix_db);
        k_gate_[b] = db(-band.gate_threshold_db);
    }
    slope_ = st.band_clip_knee < 0.5 ? 0.125 : st.band_clip_knee < 1.5 ? 0.0625 : 0.0;
    const double ceiling = 23169.0 - t_agc;
    const int emphasis = static_cast<int>(st.preemphasis);
    coupling5_ = emphasis != 0 ? 0.21 : 0.3;
    coupling6_ = emphasis != 0 ? 0.707 : 1.0;
    const int tc = static_cast<int>(q_.test_channels);
    const int type = static_cast<int>(st.stereo_type + 0.5);
    const int n_enh = std::clamp(static_cast<int>(rate_ / 1000.0 * st.stereo_delay_ms), 1, 2199);
    const int n_ia =
        std::clamp(static_cast<int>(q_.interaural_delay_cm / 34000.0 * rate_), 1, 4800);
    const int n1 = std::clamp(static_cast<int>(rate_ * q_.room_size_m / 340.0), 1, 4700);
    const int n2 = std::clamp(static_cast<int>(rate_ * q_.room_size_m / 340.0 * 1.2), 1, 4700);
    const int ap_len[12] = {882, 86, 234, 782, 58, 262, 858, 82, 206, 742, 62, 282};
    const int k_lpf = static_cast<int>(q_.final_lpf);
    meters = MeterSnapshot{};  // peaks of this block from 0; the rest is set as it runs

    for (int f = 0; f < frames; ++f) {
        double v[2] = {static_cast<double>(in[2 * f]), static_cast<double>(in[2 * f + 1])};
        if (!sw.bypass) {
            if (tc == 2)
                v[0] = 0.0;
            if (tc == 0)
                v[1] = 0.0;
        }
        dither_ = dither_ * 214013u + 2531011u;
        double d = static_cast<int>((dither_ >> 16) & 0x7FFF) % 256 / 256.0 / 32.0;
        v[0] += d;
        v[1] += d;
        const double bypass_out[2] = {v[0], v[1]};
        for (int ch = 0; ch < 2; ++ch) {
            v[ch] = step(input_hp_[ch], v[ch]);
        }
        meters.input_peak_l = std::max(meters.input_peak_l, std::abs(v[0]));
        meters.input_peak_r = std::max(meters.input_peak_r, std::abs(v[1]));

        // Stereo enhancer.
        double side = v[0] - v[1];
        double el = step(level_[0], std::abs(v[0])), er = step(level_[1], std::abs(v[1]));
        double m = std::clamp(std::min(el, er) * 16.0, 0.0, 32760.0) / 32767.0;
        if (type == 2 || type == 3) {
            double k = std::clamp(8.0 * step(lp4_, std::abs(side)), 0.0, 32760.0);
            side = type == 2 ? side * k / 32767.0 : side * ((k / 32767.0) * (k / 32767.0));
        } else if (type == 4 || type == 5) {
            double src = type == 4 ? std::abs(side) : std::abs(v[0] + v[1]);
            double t =
                std::clamp((type == 4 ? 16.0 : 8.0) * step(hp01_, step(lp4_, src)), 0.0, 32760.0);
            side = side * t / 32767.0 * m;
        }
        side = step(side_lp_, enh_line_.step(side, n_enh) * level);
        if (sw.stereo_enhance == 1) {
            v[0] += side;
            v[1] -= side;
        } else {
            side = 0.0;
        }
        meters.enhancer_peak = std::max(meters.enhancer_peak, side);

        for (int ch = 0; ch < 2; ++ch) {
            if (sw.bass_phase == 1 && !sw.bypass)
                v[ch] = step(bass_phase_[ch], v[ch]);
            if (q_.bass_eq_gain_db != 0.0 && sw.bass_eq_off == 0 && !sw.bypass) {
                v[ch] = step(bass_eq_[ch], v[ch]);
            }
        }

        if (sw.virtual_room == 1) {
            double xf[2];
            for (int ch = 0; ch < 2; ++ch) {
                xf[ch] = xf_line_[ch].step(step(xf_lp_[ch], step(xf_shelf_[ch], v[ch])), n_ia);
            }
            double wet_l = 0.0, wet_r = 0.0;
            for (int room = 0; room < 2; ++room) {
                int n = room == 0 ? n1 : n2;
                double a = room_in_[2 * room].step(v[0], n);
                double bb = room_in_[2 * room + 1].step(v[1], n + 98);
                double left = 0.7 * a + 0.3 * bb, right = 0.7 * bb + 0.3 * a;
                for (int i = 0; i < 3; ++i) {
                    left = allpass_[6 * room + i].step(left, ap_len[6 * room + i]);
                    right = allpass_[6 * room + 3 + i].step(right, ap_len[6 * room + 3 + i]);
                }
                double p = step(room_lp_[room], left);
                double qn = step(room_notch_[room], right);
                int tail = room == 0 ? 30 : 6;
                double t = tail_line_[2 * room].step(
                    step(tail_shelf_[2 * room][1], step(tail_shelf_[2 * room][0], p)), tail);
                double u = tail_line_[2 * room + 1].step(
                    step(tail_shelf_[2 * room + 1][1], step(tail_shelf_[2 * room + 1][0], qn)),
                    tail);
                if (room == 0) {
                    wet_l = u + p;   // U1 + P1
                    wet_r = t + qn;  // T1 + Q1
                } else {
                    wet_l = wet_l + p + u;   // + P2 + U2
                    wet_r = wet_r + qn + t;  // + Q2 + T2
                }
            }
            double l = wet_l * q_.reverb_level_pct / 100.0 * 0.707 + (xf[1] + v[0]) * 0.707;
            double r = wet_r * q_.reverb_level_pct / 100.0 * 0.707 + (xf[0] + v[1]) * 0.707;
            v[0] = l;
            v[1] = r;
        }

        // Two-band AGC.
        double gains[2] = {st.agc_gain_lo, st.agc_gain_hi};
        double band_out[2][2];  // [lo, hi][channel]
        double o[2];
        for (int part = 0; part < 2; ++part) {
            double g = 1.0 - gains[part] / 23169.0;
            for (int ch = 0; ch < 2; ++ch) {
                double split = part == 0 ? step(split_lo_[ch], v[ch]) : step(split_hi_[ch], v[ch]);
                band_out[part][ch] = split * g;
            }
            o[part] = std::max(std::max(std::abs(band_out[part][0]) - t_agc, 0.0),
                               std::max(std::abs(band_out[part][1]) - t_agc, 0.0));
        }
        for (int part = 0; part < 2; ++part) {
            double s1 = step(slow_[part], o[part]);
            double s2 = step(speed_[speed - 1][part], o[part]);
            double g = std::max(s1, s2) * agc_drive;
            g = std::max(g, -ceiling);
            g = std::min(g, ceiling);
            (part == 0 ? st.agc_gain_lo : st.agc_gain_hi) = g;
        }
        for (int ch = 0; ch < 2; ++ch) {
            v[ch] = band_out[0][ch] + band_out[1][ch];
        }

        // Pre-emphasis with the HF limiter, or the shelf.
        if (emphasis == 1 || emphasis == 2) {
            double egain = emphasis == 1 ? c_->emphasis_gain_50us : c_->emphasis_gain_75us;
            double hf_parts[2];
            for (int ch = 0; ch < 2; ++ch) {
                double mm = 1.584 * step(emphasis_[ch], v[ch]);
                double h = step(hf_hp_[ch], mm) * egain;
                double& state = ch == 0 ? st.hf_state_l : st.hf_state_r;
                double ov = std::max(std::abs(state) - t_hf, 0.0);
                double gr = std::min(step(hf_gr_[ch], ov) * hf_drive, 23169.0);
                (ch == 0 ? st.hf_gain_reduction_l : st.hf_gain_reduction_r) = gr;
                state = (1.0 - gr / 23169.0) * h;
                hf_parts[ch] = (1.0 - gr / 23169.0) * hf_h_[ch].step(h, 65);
                v[ch] = hf_m_[ch].step(mm, 65) + hf_parts[ch];
            }
            double peak = std::max(hf_parts[0], hf_parts[1]);
            if (peak > meters.hf_limit_peak)
                meters.hf_limit_peak = peak;
        } else {
            for (int ch = 0; ch < 2; ++ch)
                v[ch] = step(shelf_[ch], v[ch]);
            st.hf_gain_reduction_l = st.hf_gain_reduction_r = 0.0;
        }

        // Bands.
        double low[2], high[2], outs[6][2];
        for (int ch = 0; ch < 2; ++ch) {
            low[ch] = step(pre_lp_[ch], v[ch]);
            high[ch] = step(pre_ap_[ch], v[ch]);
        }
        for (int b = 0; b < 6; ++b) {
            band_frame(b, b < 2 ? low : high, outs[b]);
        }
        double y[2];
        for (int ch = 0; ch < 2; ++ch) {
            double b12 =
                clip(outs[0][ch] + outs[1][ch], t_clip_[1], slope_, meters.band_clip_flag[1]);
            b12 = step(recombine_[ch], b12);
            double vv = (b12 + outs[2][ch] + outs[3][ch] + outs[4][ch] + outs[5][ch]) * 0.891;
            double c = clip(vv, c_fin, 0.0);
            double yy;
            if (static_cast<int>(st.final_clip_type) != 0) {
                yy = c + step(clip_lp_[ch], vv - c);
            } else {
                double z =
                    std::clamp(2.0 * step(clip_lp_[ch], std::abs(vv - c)) / 32767.0, 0.0, 0.5);
                yy = (1.0 - z) * clip_line_[ch].step(vv, 2);
            }
            yy = (k_lpf == 1 || k_lpf == 2) ? fir_[ch].step(yy) : iir_[ch].step(yy);
            double cc = clip(yy, c_ovs, 0.0);
            yy = cc + step(ovs_lp_[ch], yy - cc);
            if (std::abs(yy) > 32020.0)
                (ch == 0 ? meters.clip_flag_l : meters.clip_flag_r) = 1;
            if ((emphasis == 1 || emphasis == 2) && sw.deemphasis == 1) {
                yy = step(deemph_[ch][emphasis - 1], yy);
            }
            y[ch] = std::clamp(yy, -32760.0, 32760.0);
            double w = sw.bypass ? bypass_out[ch] : y[ch];
            int16_t s = static_cast<int16_t>(static_cast<int>(w));
            out[2 * f + ch] = s;
            double& peak = ch == 0 ? meters.output_peak_l : meters.output_peak_r;
            peak = std::max(peak, std::abs(static_cast<double>(s)));
        }
    }
    meters.agc_gain_lo = st.agc_gain_lo;
    meters.agc_gain_hi = st.agc_gain_hi;
    meters.hf_gain_reduction_l = st.hf_gain_reduction_l;
    meters.hf_gain_reduction_r = st.hf_gain_reduction_r;
}

namespace {

std::vector<int16_t> program(int rate, int frames, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int16_t> v(2 * static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        double t = static_cast<double>(n) / rate;
        double swell = 0.1 + 0.9 * std::abs(std::sin(std::numbers::pi * t * 1.5));
        double l = swell * (12000 * std::sin(2 * std::numbers::pi * 70 * t) +
                            6000 * std::sin(2 * std::numbers::pi * 1700 * t) + 4000 * noise(rng));
        double r = swell * (9000 * std::sin(2 * std::numbers::pi * 110 * t) +
                            5000 * std::sin(2 * std::numbers::pi * 4500 * t) + 4000 * noise(rng));
        v[2 * n] = static_cast<int16_t>(std::clamp(l, -32768.0, 32767.0));
        v[2 * n + 1] = static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
    }
    return v;
}

struct Variant {
    int preset;
    int rate;
    void (*tweak)(ProcessorParams&);
    bool sse2_loops = false;  // the SSE2 build of the loops even where AVX is there
};

// Every meter of a block, exactly: the engine keeps its peaks in registers across chunks and
// its gates two bands per register, the model one value at a time.
void expect_same_meters(const MeterSnapshot& got, const MeterSnapshot& want, const Variant& v,
                        int frame) {
    auto where = [&] {
        return ::testing::Message()
               << "preset " << v.preset << " rate " << v.rate << " block at frame " << frame;
    };
    EXPECT_EQ(got.input_peak_l, want.input_peak_l) << where();
    EXPECT_EQ(got.input_peak_r, want.input_peak_r) << where();
    EXPECT_EQ(got.output_peak_l, want.output_peak_l) << where();
    EXPECT_EQ(got.output_peak_r, want.output_peak_r) << where();
    EXPECT_EQ(got.agc_gain_lo, want.agc_gain_lo) << where();
    EXPECT_EQ(got.agc_gain_hi, want.agc_gain_hi) << where();
    EXPECT_EQ(got.hf_gain_reduction_l, want.hf_gain_reduction_l) << where();
    EXPECT_EQ(got.hf_gain_reduction_r, want.hf_gain_reduction_r) << where();
    EXPECT_EQ(got.enhancer_peak, want.enhancer_peak) << where();
    EXPECT_EQ(got.hf_limit_peak, want.hf_limit_peak) << where();
    EXPECT_EQ(got.band_gain_reduction_peak, want.band_gain_reduction_peak) << where();
    EXPECT_EQ(got.band_clip_flag, want.band_clip_flag) << where();
    EXPECT_EQ(got.gate_indicator, want.gate_indicator) << where();
    EXPECT_EQ(got.clip_flag_l, want.clip_flag_l) << where();
    EXPECT_EQ(got.clip_flag_r, want.clip_flag_r) << where();
}

void compare(const Variant& v) {
    enable_flush_denormals();
    auto p = make_processor();
    processor_startup(*p);
    apply_factory_preset(*p, v.preset);
    if (v.tweak != nullptr) {
        v.tweak(p->params);
    }
    change_sample_rate(*p, v.rate);
    reset_processor_state(*p);
    if (v.sse2_loops) {
        p->state.avx_loops = false;
    }
    ReferenceChain ref(p->params, v.rate);

    const int frames = v.rate * 3 / 2;
    std::vector<int16_t> in = program(v.rate, frames, v.preset + v.rate);
    std::vector<int16_t> out(in.size()), expect(in.size());
    // Blocks of odd and even lengths, so the chunk loops also end on a single frame (the final
    // FIR works on pairs of frames) and start inside a pair.
    constexpr int BLOCKS[] = {4096, 1001, 3, 256, 257, 1, 2048};
    for (int off = 0, k = 0; off < frames; off += BLOCKS[k % std::size(BLOCKS)], ++k) {
        int n = std::min(BLOCKS[k % std::size(BLOCKS)], frames - off);
        process_block(*p, 2 * n, &in[2 * off], &out[2 * off]);
        ref.run(&in[2 * off], &expect[2 * off], n);
        expect_same_meters(p->state.meters, ref.meters, v, off);
    }
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], expect[i]) << "preset " << v.preset << " rate " << v.rate << " frame "
                                     << i / 2 << " channel " << i % 2;
    }
    int loudest = 0;
    for (int16_t s : out) {
        loudest = std::max(loudest, std::abs(static_cast<int>(s)));
    }
    EXPECT_GT(loudest, 5000) << "preset " << v.preset;  // the comparison saw real program
    for (int b = 0; b < BAND_COUNT; ++b) {
        EXPECT_EQ(p->params.bands[b].gain_reduction, ref.q_.bands[b].gain_reduction) << b;
    }
    EXPECT_EQ(p->params.settings.agc_gain_lo, ref.q_.settings.agc_gain_lo);
    EXPECT_EQ(p->params.settings.hf_state_r, ref.q_.settings.hf_state_r);
}

TEST(ReferenceChain, FactoryPresetsMatchThePlainModel) {
    for (int preset : {232, 343, 340, 342, 341, 339, 336, 338, 337, 335, 334}) {
        compare({preset, 44100, nullptr});
    }
}

TEST(ReferenceChain, SwitchesAndChoicesMatchThePlainModel) {
    compare({232, 48000, [](ProcessorParams& q) {
                 q.switches.noise_gate = 1;
                 q.switches.virtual_room = 1;
                 q.settings.stereo_type = 2.0;
                 q.settings.mb_release = 3.0;
                 q.settings.mb_attack = 1.0;
             }});
    compare({343, 32000, [](ProcessorParams& q) {
                 q.settings.preemphasis = 2.0;
                 q.settings.final_clip_type = 1.0;
                 q.settings.stereo_type = 3.0;
                 q.settings.band_clip_knee = 0.0;
                 q.final_lpf = 4.0;
                 q.normalisation_gain = 3.0;
                 q.bands[0].bass_attack_ms = 0.0;
             }});
    compare({340, 44100, [](ProcessorParams& q) {
                 q.settings.stereo_type = 5.0;
                 q.settings.mb_release = 5.0;
                 q.settings.agc_release = 1.0;
                 q.settings.agc_threshold_db = 0.0;  // negative AGC ceiling
                 q.switches.virtual_room = 1;
                 q.reverb_level_pct = 100.0;
                 q.room_size_m = 34.0;
                 q.test_channels = 2.0;
             }});
    compare({341, 44100, [](ProcessorParams& q) {
                 q.switches.bypass = 1;
                 q.test_channels = 0.0;
             }});
    compare({335, 48000, [](ProcessorParams& q) {
                 q.final_lpf = 2.0;
                 q.settings.preemphasis = 1.0;
                 q.switches.deemphasis = 1;
                 q.switches.stereo_enhance = 0;
                 q.switches.noise_gate = 1;
                 for (ProcessorBand& b : q.bands)
                     b.gate_threshold_db = -20.0;
             }});
}

// Machines with AVX run the AVX build of the chain's loops; the SSE2 build that the others run
// must give the same bytes.
TEST(ReferenceChain, TheSse2BuildOfTheLoopsMatchesThePlainModel) {
    compare({232, 44100, nullptr, true});
    compare({334, 32000, nullptr, true});
    compare({339, 48000,
             [](ProcessorParams& q) {
                 q.switches.noise_gate = 1;
                 q.switches.virtual_room = 1;
                 q.settings.stereo_type = 4.0;
                 q.final_lpf = 2.0;
             },
             true});
}

}  // namespace
}  // namespace zv::test
