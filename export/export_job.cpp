#include "export/export_job.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/normalisation.h"
#include "export/export_rules.h"
#include "export/file_ops.h"
#include "export/mp3_convert.h"
#include "export/peak_scan.h"
#include "export/temp_folder.h"
#include "export/throttle.h"
#include "export/wav_header.h"
#include "sources/wav_source.h"

namespace zv {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Working files of one job, removed whatever way the job ends.
struct TempFilesGuard {
    const TempPaths& paths;
    ~TempFilesGuard() {
        remove_file(paths.input_copy);
        remove_file(paths.mp3_source_copy);
        remove_file(paths.processed_wav);
        remove_file(paths.processed_mp3);
    }
};

}  // namespace

std::string processed_time_text(uint64_t frames, int32_t sample_rate) {
    uint64_t seconds = sample_rate > 0 ? frames / static_cast<uint64_t>(sample_rate) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(seconds / 60),
                  static_cast<int>(seconds % 60));
    return text;
}

int32_t mark_after_export(int32_t mark, ExportEnd end, bool export_all) {
    if (end == ExportEnd::Failed)
        return MARK_FAILED;
    if (end == ExportEnd::Completed && export_all && mark != MARK_FAILED)
        return MARK_EXPORTED;
    return mark;
}

ExportJobResult ExportJob::run() {
    ExportJobResult r = work();
    // What the dialog does when the job ends: the next user finds a clean processor.
    reset_processor_state(p_);
    result_ = r;
    observer_.finished(r);
    return r;
}

void ExportJob::start() {
    // A cancel that came before the worker is kept: the job then ends at once.
    thread_ = std::thread([this] {
        enable_flush_denormals();
        run();
    });
}

void ExportJob::join() {
    if (thread_.joinable())
        thread_.join();
}

std::string ExportJob::temp_read_failure(const std::string& what) const {
    const std::string base = in_.temp_base.empty() ? temp_base_folder() : in_.temp_base;
    return "cannot read its working copy in the temporary folder " + base + ": " + what;
}

std::string ExportJob::temp_write_failure(const std::string& what, int err) const {
    const std::string base = in_.temp_base.empty() ? temp_base_folder() : in_.temp_base;
    if (is_disk_full(err))
        return "the temporary folder " + base + " is full (" + what + ")";
    return what + " in the temporary folder " + base + ": " + std::strerror(err);
}

ExportJobResult ExportJob::work() {
    ExportJobResult r;
    r.peak_level = in_.entry.peak_level;
    r.tag = in_.tag;
    if (cancel_.load(std::memory_order_relaxed)) {
        r.end = ExportEnd::Cancelled;  // cancelled before it began: nothing read or written
        return r;
    }
    const bool mp3_out = in_.options.output_mp3 != 0;
    const std::string source(song_path(in_.entry));

    reset_processor_state(p_);
    observer_.set_text(CTL_EXPORT_SOURCE, source);
    std::string target = in_.target_path;
    if (!mp3_out)
        target = strip_extension(target) + ".wav";
    observer_.set_text(CTL_EXPORT_TARGET, target);

    // A song that did not end Completed has no loudness: its figures would be of no file.
    auto fail = [&r](std::string why) {
        r.end = ExportEnd::Failed;
        r.failure = std::move(why);
        r.loudness.reset();
        return r;
    };
    auto cancelled = [&r]() {
        r.end = ExportEnd::Cancelled;
        r.failure.clear();
        r.loudness.reset();
        return r;
    };
    // A target that cannot be written is found before the song is copied and processed.
    const std::string final_path = final_output_path(in_.target_path, mp3_out);
    std::string error;
    if (!check_write_target(final_path, error))
        return fail(error);
    if (in_.temp_folder.empty())
        return fail("cannot make a private folder in the temporary folder " +
                    (in_.temp_base.empty() ? temp_base_folder() : in_.temp_base));
    const TempPaths temp = make_temp_paths(in_.temp_folder, in_.run_id);
    TempFilesGuard cleanup{temp};

    ConvertControl control;
    control.throttle = throttle_;
    control.cancelled = [this] { return cancel_requested(); };
    const std::string& working =
        in_.entry.source_type == SOURCE_MP3 ? temp.mp3_source_copy : temp.input_copy;
    CopyError why;
    if (!copy_file(source, working, &why)) {
        return fail(why.reading ? "cannot read it: " + std::string(std::strerror(why.err))
                                : temp_write_failure("copying the song", why.err));
    }
    if (in_.entry.source_type == SOURCE_MP3) {
        observer_.set_text(CTL_EXPORT_STATUS, TEXT_CONVERTING_TO_WAV);
        ConvertFailure decode;
        if (!decode_mp3_to_wav(temp.mp3_source_copy, temp.input_copy, r.tag, control, decode)) {
            if (decode.cancelled)
                return cancelled();
            return fail(decode.write_errno != 0
                            ? temp_write_failure("decoding the song", decode.write_errno)
                            : decode.text);
        }
    }
    if (in_.options.normalise_on_export != 0) {
        observer_.set_text(CTL_EXPORT_STATUS, TEXT_SEARCHING_MAX_LEVEL);
        std::string why_not;
        const PeakResult peak = measure_peak(in_.entry, temp.input_copy, &cancel_, &why_not);
        if (peak == PeakResult::Cancelled)
            return cancelled();
        if (peak == PeakResult::ReadError)
            return fail(temp_read_failure(why_not));
        r.peak_level = in_.entry.peak_level;
    }
    observer_.set_text(CTL_EXPORT_STATUS, "");

    if (!process_song(temp.input_copy, temp.processed_wav, r))
        return r;
    if (r.end == ExportEnd::Cancelled && !in_.keep_cancelled_output)
        return r;
    const ExportEnd end = r.end;

    std::string finished = temp.processed_wav;
    if (mp3_out) {
        // A cancel that ended the processing keeps its blocks; one during the encoding stops it.
        const unsigned cancels_before = cancel_count_.load(std::memory_order_relaxed);
        control.cancelled = [this, cancels_before] {
            return cancel_count_.load(std::memory_order_relaxed) != cancels_before;
        };
        control.encoder_timeout_seconds = in_.encoder_timeout_seconds;
        EncodeOutcome enc = encode_wav_to_mp3(
            temp.processed_wav, in_.encoder, in_.options, r.tag, control,
            [this](const char* text) { observer_.set_text(CTL_EXPORT_STATUS, text); });
        r.encoder_output = std::move(enc.encoder_output);
        if (!enc.ok) {
            if (enc.cancelled)
                return cancelled();
            r.encoder_failed = true;
            r.params_too_long = enc.params_too_long;
            return fail(enc.write_errno != 0 ? temp_write_failure("encoding", enc.write_errno)
                                             : enc.error);
        }
        finished = enc.mp3_path;
        // The encoder's low-pass and rounding change the loudness (by half a LU on a bright
        // song): the figures are those of the MP3 as it decodes. A file the decoder cannot
        // read gets none rather than the figures of another sound.
        LoudnessFigures figures;
        std::string unmeasured;
        if (end == ExportEnd::Completed && measure_file_loudness(finished, figures, unmeasured)) {
            r.loudness = figures;
        }
    }
    if (!place_file(finished, final_path, error))
        return fail(error);
    r.output_path = final_path;
    r.end = end;
    return r;
}

// Runs the processor over the input copy into output under the input's header. Returns false
// (with r set to Failed) when it could not; r.end says Completed or Cancelled otherwise.
bool ExportJob::process_song(const std::string& input, const std::string& output,
                             ExportJobResult& r) {
    auto fail = [&r](std::string why) {
        r.end = ExportEnd::Failed;
        r.failure = std::move(why);
        return false;
    };
    std::vector<uint8_t> header;
    std::string error;
    if (!read_wav_header_bytes(input, header, error))
        return fail(error);
    WavReader reader;
    if (!reader.open(input))
        return fail(reader.error());
    if (reader.headerless())
        return fail("not a RIFF/WAVE file");
    if (reader.data_bytes() == 0)
        return fail(TEXT_NO_SAMPLES);
    FilePtr out(std::fopen(output.c_str(), "wb+"));
    if (!out)
        return fail(temp_write_failure("writing the processed song", errno));
    auto write_error = [&]() {
        return fail(temp_write_failure("writing the processed song", errno));
    };

    p_.params.normalisation_gain = normalisation_gain_for_peak(r.peak_level);
    if (std::fwrite(header.data(), 1, header.size(), out.get()) != header.size())
        return write_error();

    // The working copy's own header decides, so a stale entry (an MP3 re-encoded since it
    // was added) cannot make the job read stereo as mono.
    const int channels = reader.channels() == 1 ? 1 : 2;
    const int32_t rate = reader.rate();
    const uint64_t data_bytes = reader.data_bytes();
    const uint64_t steps = data_bytes / (static_cast<uint64_t>(channels) * 32768u);
    observer_.set_progress_range(data_bytes == 0 ? 100 : static_cast<int>(steps));
    observer_.set_text(CTL_EXPORT_SOURCE, std::string(song_path(in_.entry)));
    observer_.set_text(CTL_EXPORT_TARGET, in_.options.output_mp3 != 0
                                              ? strip_extension(in_.target_path) + ".mp3"
                                              : strip_extension(in_.target_path) + ".wav");

    change_sample_rate(p_, rate);
    const int latency = chain_latency_frames(p_.params);

    std::vector<int16_t> in_block(EXPORT_BLOCK_SAMPLES);
    std::vector<int16_t> out_block(EXPORT_BLOCK_SAMPLES);
    std::vector<int16_t> mono(EXPORT_BLOCK_FRAMES);
    std::vector<int16_t> write_buf(EXPORT_BLOCK_SAMPLES);
    Throttle pause(throttle_, EXPORT_THROTTLE_DIVISOR, 1);
    // Reads what is written, after it is formed: it never changes a byte of the output. An
    // MP3 export measures its encoded file instead.
    std::optional<LoudnessMeter> loudness;
    if (in_.options.output_mp3 == 0) {
        loudness.emplace(channels, rate);
    }

    uint64_t frames_in = 0;   // input frames read so far
    uint64_t frames_out = 0;  // frames written
    int64_t base = 0;         // processor output frames before the current block
    // Writes processor output frames [from, to) of out_block, left only for a mono song.
    auto write_frames = [&](int from, int to) {
        if (to <= from)
            return true;
        size_t count = 0;
        for (int f = from; f < to; ++f) {
            write_buf[count++] = out_block[2 * static_cast<size_t>(f)];
            if (channels == 2)
                write_buf[count++] = out_block[2 * static_cast<size_t>(f) + 1];
        }
        frames_out += static_cast<uint64_t>(to - from);
        const std::span<const int16_t> written(write_buf.data(), count);
        if (loudness) {
            loudness->add(written);
        }
        return std::fwrite(written.data(), sizeof(int16_t), count, out.get()) == count;
    };
    auto run_block = [&]() {
        process_block(p_, EXPORT_BLOCK_SAMPLES, in_block.data(), out_block.data());
        meters_.store(p_.state.meters);
        observer_.block_done();
    };

    r.end = ExportEnd::Completed;
    for (;;) {
        pause.pause_if_due();
        std::fill(in_block.begin(), in_block.end(), int16_t{0});
        int frames = 0;
        if (channels == 2) {
            size_t got = reader.read(in_block.data(), in_block.size() * sizeof(int16_t));
            frames = static_cast<int>(got / 4);
            if (got % 4 != 0) {  // a cut-off last frame is not a frame
                in_block[2 * static_cast<size_t>(frames)] = 0;
            }
        } else {
            size_t got = reader.read(mono.data(), mono.size() * sizeof(int16_t));
            frames = static_cast<int>(got / 2);
            for (int f = 0; f < frames; ++f) {
                in_block[2 * static_cast<size_t>(f)] = mono[static_cast<size_t>(f)];
                in_block[2 * static_cast<size_t>(f) + 1] = mono[static_cast<size_t>(f)];
            }
        }
        if (reader.failed())  // never taken for the end of the song
            return fail(temp_read_failure(reader.error()));
        run_block();
        const int skip = static_cast<int>(std::max<int64_t>(0, latency - base));
        if (frames == EXPORT_BLOCK_FRAMES) {
            if (!write_frames(skip, EXPORT_BLOCK_FRAMES))
                return write_error();
        } else {
            // The last block: the output runs L frames behind, so the tail of the song may
            // still sit in the processor; one block of silence brings it out.
            const int64_t end = latency + static_cast<int64_t>(frames_in) + frames - base;
            if (!write_frames(skip, static_cast<int>(std::min<int64_t>(end, EXPORT_BLOCK_FRAMES))))
                return write_error();
            if (end > EXPORT_BLOCK_FRAMES) {
                std::fill(in_block.begin(), in_block.end(), int16_t{0});
                run_block();
                if (!write_frames(0, static_cast<int>(end - EXPORT_BLOCK_FRAMES)))
                    return write_error();
            }
            frames_in += static_cast<uint64_t>(frames);
            break;
        }
        base += EXPORT_BLOCK_FRAMES;
        frames_in += static_cast<uint64_t>(frames);
        observer_.set_text(CTL_EXPORT_TIME, processed_time_text(frames_in, rate));
        observer_.step_progress();
        if (cancel_.load(std::memory_order_relaxed)) {
            r.end = ExportEnd::Cancelled;
            break;
        }
    }

    // A data chunk that promised samples the file does not hold.
    if (frames_in == 0 && r.end == ExportEnd::Completed)
        return fail(TEXT_NO_SAMPLES);
    const uint64_t written = frames_out * static_cast<uint64_t>(channels) * 2u;
    if (written > 0xFFFFFFFFull - header.size())
        return fail("the processed song would exceed 4 GiB");
    set_wav_header_sizes(header, static_cast<uint32_t>(written));
    if (std::fseek(out.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), out.get()) != header.size())
        return write_error();
    if (std::fclose(out.release()) != 0)
        return write_error();
    LoudnessFigures figures;
    if (r.end == ExportEnd::Completed && loudness && loudness->figures(figures)) {
        r.loudness = figures;
    }
    return true;
}

}  // namespace zv
