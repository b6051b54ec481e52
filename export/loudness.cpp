#include "export/loudness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "sources/mp3_source.h"
#include "sources/playlist.h"
#include "sources/riff_chunks.h"
#include "sources/sndfile_source.h"
#include "sources/wav_source.h"

namespace zv {

LoudnessMeter::LoudnessMeter(int channels, int32_t rate)
    : gated_(channels, rate), true_peak_(channels, rate), channels_(channels) {}

void LoudnessMeter::add(std::span<const int16_t> samples) {
    if (!ok() || samples.empty()) {
        return;
    }
    gated_.add(samples);
    true_peak_.add(samples);
}

void LoudnessMeter::add(std::span<const float> samples) {
    if (!ok() || samples.empty()) {
        return;
    }
    gated_.add(samples);
    true_peak_.add(samples);
}

bool LoudnessMeter::figures(LoudnessFigures& out) const {
    if (!ok()) {
        return false;
    }
    LoudnessFigures f;
    f.integrated_lufs = gated_.integrated_lufs();
    f.range_lu = gated_.range_lu();
    double peak = 0.0;
    for (int c = 0; c < channels_; ++c) {
        // The true peak is never below the sample peak.
        peak = std::max({peak, gated_.sample_peak(c), true_peak_.peak(c)});
    }
    f.true_peak_dbtp =
        peak > 0.0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
    // Silence gives -HUGE_VAL; one spelling of minus infinity for everyone who prints it.
    if (!std::isfinite(f.integrated_lufs)) {
        f.integrated_lufs = -std::numeric_limits<double>::infinity();
    }
    out = f;
    return true;
}

std::string loudness_figure_text(double value, int decimals) {
    if (std::isinf(value) && value < 0) {
        return "-inf";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string loudness_text(const LoudnessFigures& figures) {
    return loudness_figure_text(figures.integrated_lufs) + " LUFS, range " +
           loudness_figure_text(figures.range_lu) + " LU, true peak " +
           loudness_figure_text(figures.true_peak_dbtp) + " dBTP";
}

namespace {

constexpr size_t READ_FRAMES = 16384;

bool measure_wav(const std::string& path, LoudnessFigures& out, std::string& error) {
    WavReader reader;
    if (!reader.open(path)) {
        error = reader.error();
        return false;
    }
    if (reader.headerless()) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    const int channels = reader.channels() == 1 ? 1 : 2;
    LoudnessMeter meter(channels, reader.rate());
    std::vector<int16_t> block(READ_FRAMES * static_cast<size_t>(channels));
    const size_t frame_bytes = sizeof(int16_t) * static_cast<size_t>(channels);
    uint64_t frames = 0;
    for (;;) {
        const size_t got = reader.read(block.data(), block.size() * sizeof(int16_t));
        if (reader.failed()) {
            error = reader.error();
            return false;
        }
        const size_t whole = got / frame_bytes;  // a cut-off last frame is not a frame
        if (whole == 0) {
            break;
        }
        meter.add(std::span<const int16_t>(block.data(), whole * static_cast<size_t>(channels)));
        frames += whole;
    }
    if (frames == 0) {
        error = "it holds no samples";
        return false;
    }
    if (!meter.figures(out)) {
        error = "the loudness meter failed";
        return false;
    }
    return true;
}

bool measure_mp3(const std::string& path, LoudnessFigures& out, std::string& error) {
    Mp3Decoder decoder;
    if (!decoder.open(path)) {
        error = decoder.error();
        return false;
    }
    const int channels = decoder.channels() == 1 ? 1 : 2;
    LoudnessMeter meter(channels, decoder.rate());
    std::vector<int16_t> left(MP3_FRAME_SAMPLES), right(MP3_FRAME_SAMPLES);
    std::vector<int16_t> interleaved(2 * MP3_FRAME_SAMPLES);
    for (;;) {
        const int n = decoder.read_frame(left.data(), right.data());
        if (n == MP3_END) {
            break;
        }
        if (n < 0) {
            // Figures of part of a song would be wrong figures.
            error = decoder.error().empty()
                        ? "decoding error after " + std::to_string(decoder.decoded_samples()) +
                              " samples"
                        : decoder.error();
            return false;
        }
        size_t count = 0;
        for (int i = 0; i < n; ++i) {
            interleaved[count++] = left[static_cast<size_t>(i)];
            if (channels == 2) {
                interleaved[count++] = right[static_cast<size_t>(i)];
            }
        }
        meter.add(std::span<const int16_t>(interleaved.data(), count));
    }
    if (decoder.decoded_samples() == 0) {
        error = decoder.error().empty() ? "it holds no samples" : decoder.error();
        return false;
    }
    if (!meter.figures(out)) {
        error = "the loudness meter failed";
        return false;
    }
    return true;
}

// A song through libsndfile, at its own rate and depth: what its file holds, as a player
// of that file hears it.
bool measure_sndfile(const std::string& path, LoudnessFigures& out, std::string& error) {
    SndfileReader reader;
    if (!reader.open(path)) {
        error = reader.error();
        return false;
    }
    const int channels = reader.info().channels;
    LoudnessMeter meter(channels, reader.info().rate);
    std::vector<float> block(READ_FRAMES * static_cast<size_t>(channels));
    for (;;) {
        const size_t got = reader.read_float(block.data(), READ_FRAMES);
        if (reader.failed()) {
            error = reader.error();  // figures of part of a song would be wrong figures
            return false;
        }
        if (got == 0) {
            break;
        }
        meter.add(std::span<const float>(block.data(), got * static_cast<size_t>(channels)));
    }
    if (!meter.figures(out)) {
        error = "the loudness meter failed";
        return false;
    }
    return true;
}

// A WAV the WAV reader refuses only for its depth or rate is read through libsndfile.
bool wav_is_for_sndfile(const std::string& path) {
    FileByteReader file;
    return file.open(path) && wav_walk_is_for_sndfile(walk_wav_header(file));
}

}  // namespace

bool measure_file_loudness(const std::string& path, LoudnessFigures& out, std::string& error) {
    if (has_extension(path, ".mp3")) {
        return measure_mp3(path, out, error);
    }
    if (is_sndfile_song_name(path) || (has_extension(path, ".wav") && wav_is_for_sndfile(path))) {
        return measure_sndfile(path, out, error);
    }
    return measure_wav(path, out, error);
}

}  // namespace zv
