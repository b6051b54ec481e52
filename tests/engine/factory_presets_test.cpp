#include "engine/factory_presets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace zv {
namespace {

double double_at(const std::array<uint8_t, PRESET_RECORD_BYTES>& bytes, std::size_t at) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | bytes[at + i];
    }
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

TEST(FactoryPresetTable, MenuOrderIdsAndTexts) {
    const auto& list = factory_preset_list();
    const int ids[] = {232, 343, 340, 342, 341, 339, 336, 338, 337, 335, 334};
    using G = FactoryPresetGroup;
    const G groups[] = {G::FmStation,        G::FmStation,        G::FmStation,
                        G::FmStation,        G::FmStation,        G::DigitalBroadcast,
                        G::DigitalBroadcast, G::DigitalBroadcast, G::DigitalBroadcast,
                        G::InternetRadio,    G::InternetRadio};
    for (int i = 0; i < FACTORY_PRESET_COUNT; ++i) {
        EXPECT_EQ(list[i].id, ids[i]);
        EXPECT_EQ(list[i].group, groups[i]) << ids[i];
        EXPECT_TRUE(is_factory_preset_id(ids[i]));
        EXPECT_STREQ(factory_preset_record(ids[i]).text.data(), list[i].stored_text);
    }
    EXPECT_STREQ(list[0].menu_text, "FM Station - Smooth Listening(Favorite FM)");
    EXPECT_STREQ(list[0].stored_text, "Simlutates MegaHit FM Radio Station");
    EXPECT_STREQ(list[5].menu_text, "Digital Broadcast - Wide Stereo(Genetral Purpose)");
    EXPECT_STREQ(list[9].menu_text, "Internet Radio Station - Talk && Music Show");
    EXPECT_STREQ(list[9].stored_text, "Simlutates AM Radio / Internet Radio");
    EXPECT_STREQ(list[10].stored_text, "Simlutates General AM Station - for Talk & Music Show");
    std::set<std::string> menus;
    for (const FactoryPresetInfo& p : list) {
        menus.insert(p.menu_text);
    }
    EXPECT_EQ(menus.size(), static_cast<std::size_t>(FACTORY_PRESET_COUNT));
}

TEST(FactoryPresetTable, UnknownIdentifiersSelectThe232Record) {
    for (int id : {0, -1, 231, 233, 344, 333, 100000}) {
        EXPECT_FALSE(is_factory_preset_id(id));
        EXPECT_EQ(&factory_preset_record(id), &factory_preset_record(232)) << id;
    }
}

TEST(FactoryPresetTable, SharedValuesAndThePresetSheet) {
    for (const FactoryPresetInfo& p : factory_preset_list()) {
        SCOPED_TRACE(p.id);
        const PresetRecord& r = factory_preset_record(p.id);
        EXPECT_EQ(r.mb_attack, 4);
        EXPECT_EQ(r.stereo_delay_ms, 10);
        EXPECT_EQ(r.bass_eq_q, 1.4);
        EXPECT_EQ(r.final_clip_threshold_db, -0.8);
        EXPECT_EQ(r.stereo_enhance, 1);
        EXPECT_EQ(r.bass_eq_off, 0);
        EXPECT_EQ(r.bass_phase, 1);
        EXPECT_EQ(r.hf_reserved_db, -6);
        EXPECT_EQ(r.overshoot_threshold_db, -0.2);
        EXPECT_EQ(r.agc_release, 4);
        EXPECT_EQ(r.final_clip_type, 0);
        // Only 232 leaves the HF limiter at 0 dB / 0 dB.
        EXPECT_EQ(r.hf_threshold_db, p.id == 232 ? 0 : -32);
        EXPECT_EQ(r.hf_drive_db, p.id == 232 ? 0 : 24);
        // The FM presets emphasise and de-emphasise; the others do neither.
        const bool fm = p.id == 232 || (p.id >= 340 && p.id <= 343);
        EXPECT_EQ(r.preemphasis, fm ? 1 : 0);
        EXPECT_EQ(r.deemphasis, fm ? 1 : 0);
    }
    // Spot values from the sheet where rows differ per band or per preset.
    const PresetRecord& internet = factory_preset_record(335);
    EXPECT_EQ(internet.limiter_drive_db[0], 16);
    EXPECT_EQ(internet.limiter_drive_db[5], 18);
    EXPECT_EQ(internet.final_lpf, 4);
    EXPECT_EQ(factory_preset_record(334).final_lpf, 5);
    EXPECT_EQ(factory_preset_record(339).final_lpf, 0);
    EXPECT_EQ(factory_preset_record(342).out_mix_db[5], 1.5);
    EXPECT_EQ(factory_preset_record(338).clip_threshold_db[1], -2);
    EXPECT_EQ(factory_preset_record(341).bass_eq_freq_hz, 100);
    EXPECT_EQ(factory_preset_record(337).bass_eq_freq_hz, 80);
}

TEST(FactoryPresetTable, ByteImageFollowsTheStoredLayout) {
    const PresetRecord& r = factory_preset_record(335);
    const auto bytes = preset_record_bytes(r);
    EXPECT_EQ(double_at(bytes, 0), 20.0);             // gain_db band 1
    EXPECT_EQ(double_at(bytes, 6 * 8 + 8), 18.0);     // limiter_drive_db band 2
    EXPECT_EQ(double_at(bytes, 240 + 5 * 8), -36.0);  // agc_threshold_db
    EXPECT_EQ(double_at(bytes, 240 + 14 * 8), 4.0);   // final_lpf
    EXPECT_EQ(bytes[360], 1);                         // stereo_enhance
    EXPECT_EQ(bytes[364], 0);                         // bass_eq_off
    EXPECT_EQ(bytes[368], 1);                         // bass_phase
    EXPECT_EQ(double_at(bytes, 376 + 8), -32.0);      // hf_threshold_db
    EXPECT_EQ(double_at(bytes, 376 + 6 * 8), 0.0);    // final_clip_type
    EXPECT_EQ(std::memcmp(bytes.data() + 432, "Simlutates AM Radio / Internet Radio", 37), 0);
    EXPECT_EQ(bytes[495], 0);
    // On this little-endian machine the image is the record's own memory.
    EXPECT_EQ(std::memcmp(bytes.data(), &r, PRESET_RECORD_BYTES), 0);
}

}  // namespace
}  // namespace zv
