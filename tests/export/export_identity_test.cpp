// The export's bytes, pinned: every factory preset, mono and stereo, at 32000, 44100 and
// 48000 Hz, to WAV and to MP3 with the built-in encoder, normalising or not, and a few MP3
// sources, each compared with the FNV-1a hash of the file the export wrote when this table
// was made. Any change to how the export reads, processes, encodes or writes a song that
// alters one byte shows up here, with the stages inline or on threads of their own. Set
// ZV_PRINT_EXPORT_HASHES=1 to print the table of what the export writes now (only to replace the
// table after a deliberate change of the output).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "engine/factory_presets.h"
#include "engine/processor.h"
#include "export/export_job.h"
#include "export/mp3_convert.h"
#include "test_media.h"

namespace zv {
namespace {

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

// The hashes of the files the export writes; the key names preset, channels, rate, source,
// output and normalisation.
const std::map<std::string, uint64_t>& known_hashes() {
    static const std::map<std::string, uint64_t> table = {
#include "export_identity_hashes.inc"
    };
    return table;
}

class ExportIdentity : public ::testing::Test {
protected:
    void SetUp() override { mkdir((dir / "tmp").c_str(), 0700); }

    // A song of a little over one second: several blocks, a short last one, and a tail that
    // the chain's latency pushes past the last block.
    std::string wav_source(int rate, int channels) {
        const std::string path =
            dir / ("src" + std::to_string(rate) + "_" + std::to_string(channels) + ".wav");
        if (!std::filesystem::exists(path)) {
            test::WavContent wav;
            wav.rate = rate;
            wav.channels = channels;
            wav.samples = test::test_signal(static_cast<size_t>(rate) * 6 / 5 + 77, channels);
            test::write_bytes(path, test::make_wav_bytes(wav));
        }
        return path;
    }

    std::string mp3_source(int rate, int channels) {
        const std::string wav = wav_source(rate, channels);
        const std::string path = wav.substr(0, wav.size() - 4) + ".mp3";
        if (!std::filesystem::exists(path)) {
            ConvertControl control;
            ConvertFailure why;
            EXPECT_TRUE(encode_wav_to_mp3_builtin(wav, path, 160, control, why)) << why.text;
        }
        return path;
    }

    // cores 1: every stage inline on the job's thread; 2: the stages on threads of their own.
    uint64_t export_hash(int preset, int rate, int channels, bool mp3_source_song, bool mp3_out,
                         bool normalise) {
        const int cores = (++exports % 3) == 0 ? 1 : 2;
        auto p = make_processor();
        processor_startup(*p);
        apply_factory_preset(*p, preset);
        ExportJobInputs in;
        const std::string src =
            mp3_source_song ? mp3_source(rate, channels) : wav_source(rate, channels);
        set_song_path(in.entry, src);
        in.entry.sample_rate = rate;
        in.entry.channels = channels;
        in.entry.source_type = mp3_source_song ? SOURCE_MP3 : SOURCE_WAV;
        in.target_path = dir / "out.wav";
        in.options.output_mp3 = mp3_out ? 1 : 0;
        in.options.normalise_on_export = normalise ? 1 : 0;
        in.encoder.mp3_bitrate_kbps = 128;
        in.temp_folder = dir / "tmp";
        in.run_id = "00000014";
        in.cores = cores;
        test::QuietExportObserver quiet;
        ExportJob job(in, *p, quiet, nullptr);
        ExportJobResult r = job.run();
        EXPECT_EQ(r.end, ExportEnd::Completed) << r.failure;
        std::vector<uint8_t> bytes = test::read_bytes(r.output_path);
        std::filesystem::remove(r.output_path);
        return fnv1a(bytes);
    }

    test::ScratchDir dir;
    int exports = 0;
};

std::string case_key(int preset, int channels, int rate, bool mp3_source, bool mp3_out,
                     bool normalise) {
    return std::to_string(preset) + (channels == 1 ? " mono " : " stereo ") + std::to_string(rate) +
           (mp3_source ? " mp3-source" : " wav-source") + (mp3_out ? " to-mp3" : " to-wav") +
           (normalise ? " normalised" : " as-is");
}

// The sanitizer builds run the chain unoptimised, some twenty times slower: they check every
// fourth case (all of them over four such runs would take a minute).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int CASE_STRIDE = 4;
#else
constexpr int CASE_STRIDE = 1;
#endif

TEST_F(ExportIdentity, EveryPresetRateAndLayoutWritesTheKnownBytes) {
    const bool print = std::getenv("ZV_PRINT_EXPORT_HASHES") != nullptr;
    std::map<std::string, uint64_t> got;
    int n = 0;
    int index = 0;
    auto check = [&](int preset, int channels, int rate, bool mp3_source, bool mp3_out,
                     bool normalise) {
        if (index++ % CASE_STRIDE == 0) {
            got[case_key(preset, channels, rate, mp3_source, mp3_out, normalise)] =
                export_hash(preset, rate, channels, mp3_source, mp3_out, normalise);
        }
    };
    for (const FactoryPresetInfo& preset : factory_preset_list()) {
        for (int channels : {1, 2}) {
            for (int rate : {32000, 44100, 48000}) {
                // Normalisation alternates so that each output meets both settings.
                const bool normalise = (n++ % 2) == 0;
                check(preset.id, channels, rate, false, false, normalise);
                check(preset.id, channels, rate, false, true, !normalise);
            }
        }
    }
    // MP3 sources: decoded into the working folder, measured there, then processed.
    for (int channels : {1, 2}) {
        for (int rate : {32000, 44100, 48000}) {
            const int preset = factory_preset_list()[static_cast<size_t>(rate % 7)].id;
            check(preset, channels, rate, true, true, true);
            check(preset, channels, rate, true, false, channels == 1);
        }
    }
    if (print) {
        for (const auto& [key, hash] : got)
            std::printf("        {\"%s\", 0x%016llxull},\n", key.c_str(),
                        static_cast<unsigned long long>(hash));
    }
    const auto& known = known_hashes();
    EXPECT_EQ(got.size(), (known.size() + CASE_STRIDE - 1) / CASE_STRIDE);
    for (const auto& [key, hash] : got) {
        auto it = known.find(key);
        ASSERT_NE(it, known.end()) << key << " has no known hash";
        EXPECT_EQ(it->second, hash) << key << " changed its bytes";
    }
}

}  // namespace
}  // namespace zv
