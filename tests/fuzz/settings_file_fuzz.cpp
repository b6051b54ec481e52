// Loads arbitrary bytes as a state file and as a parameter file. Beyond not crashing, every
// load must leave the texts terminated inside their arrays, the per-field rules in force and
// every panel field within its control's bounds, and what is then saved must load back to the
// same bytes.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "settings/param_fields.h"
#include "settings/settings_file.h"
#include "settings/text_field.h"

namespace {

zv::ProcessorParams& startup_params() {
    static const std::unique_ptr<zv::Processor> p = [] {
        auto q = zv::make_processor();
        zv::processor_startup(*q);
        return q;
    }();
    return p->params;
}

template <std::size_t N>
void check_terminated(const std::array<char, N>& a) {
    if (zv::text_of(a).size() >= N) {
        std::abort();
    }
}

void check(zv::OwnedProgramState& o) {
    check_terminated(o.processor->params.preset_name);
    check_terminated(o.export_options.tag_album_prefix);
    check_terminated(o.export_options.tag_title_prefix);
    check_terminated(o.export_options.name_affix);
    check_terminated(o.encoder.external_encoder_path);
    check_terminated(o.encoder.external_encoder_params);
    const auto& st = o.processor->params.settings;
    if (o.encoder.mp3_bitrate_kbps < 1 || o.encoder.mp3_bitrate_kbps > 320 ||
        st.mb_release == 0.0 || st.mb_attack == 0.0 || st.bass_punch != 0.0 ||
        o.processor->params.test_channels != 1.0 || o.throttle.cpu_throttle_level < 0 ||
        o.throttle.cpu_throttle_level > 40) {
        std::abort();
    }
    zv::ProgramState s = o.view();
    for (const zv::ParamField& f : zv::param_fields()) {
        if (f.panel_control && !zv::value_within_bounds(f, *std::get<double*>(f.locate(s)))) {
            std::abort();
        }
    }
    const auto& sw = o.processor->params.switches;
    for (int32_t v : {sw.bass_eq_off, sw.bass_phase, sw.stereo_enhance, sw.deemphasis,
                      sw.noise_gate, sw.virtual_room}) {
        if (v != 0 && v != 1) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static zv::OwnedProgramState first, second;
    const std::span<const uint8_t> bytes(data, size);
    for (zv::SettingsFileKind kind :
         {zv::SettingsFileKind::State, zv::SettingsFileKind::Parameters}) {
        first.processor->params = startup_params();
        first.export_options = zv::ExportOptions{};
        first.encoder = zv::EncoderSettings{};
        first.devices = zv::DeviceSettings{};
        zv::ProgramState s = first.view();
        int beeps = 0;
        const zv::LoadResult r = zv::load_settings_bytes(s, bytes, kind, [&] { ++beeps; });
        if ((r == zv::LoadResult::BadMagic) != (beeps == 1)) {
            std::abort();
        }
        if (r != zv::LoadResult::Loaded) {
            continue;
        }
        check(first);
        const zv::SettingsBytes saved = zv::encode_settings(s);
        second.processor->params = startup_params();
        zv::ProgramState s2 = second.view();
        zv::load_settings_bytes(s2, saved, zv::SettingsFileKind::State, nullptr);
        if (zv::encode_settings(s2) != saved) {
            std::abort();
        }
    }
    return 0;
}
