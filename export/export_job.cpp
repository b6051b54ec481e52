#include "export/export_job.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "engine/normalisation.h"
#include "export/chain_stage.h"
#include "export/export_rules.h"
#include "export/export_stages.h"
#include "export/file_ops.h"
#include "export/mp3_convert.h"
#include "export/peak_scan.h"
#include "export/sndfile_convert.h"
#include "export/stage_link.h"
#include "export/temp_folder.h"
#include "export/throttle.h"
#include "export/wav_header.h"
#include "sources/replace_file.h"
#include "sources/wav_source.h"

namespace zv {
namespace {

// Working files of one job, removed whatever way the job ends.
struct TempFilesGuard {
    const TempPaths& paths;
    ~TempFilesGuard() {
        remove_file(paths.input_copy);
        remove_file(paths.mp3_source_copy);
        remove_file(paths.processed_wav);
        remove_file(paths.processed_mp3);
        remove_file(paths.processed_flac);
        remove_file(paths.processed_opus);
    }
};

constexpr const char* TEXT_OVER_4_GIB = "the processed song would exceed 4 GiB";

// How a job ends early; false, for the part of the job that ends it. A song that did not end
// Completed has no loudness: its figures would be of no file.
bool end_failed(ExportJobResult& r, std::string why) {
    r.end = ExportEnd::Failed;
    r.failure = std::move(why);
    r.loudness.reset();
    return false;
}
bool end_cancelled(ExportJobResult& r) {
    r.end = ExportEnd::Cancelled;
    r.failure.clear();
    r.loudness.reset();
    return false;
}

}  // namespace

int32_t mark_after_export(int32_t mark, ExportEnd end, bool export_all) {
    if (end == ExportEnd::Failed)
        return MARK_FAILED;
    if (end == ExportEnd::Completed && export_all && mark != MARK_FAILED)
        return MARK_EXPORTED;
    return mark;
}

void ExportJob::cancel() {
    ExportCancel now = cancel_state();
    for (;;) {
        ExportCancel next = ExportCancel::Discard;
        if (keep_cancelled_output_) {
            if (now == ExportCancel::None) {
                next = ExportCancel::StopProcessing;
            } else if (now == ExportCancel::StopProcessing) {
                next = ExportCancel::StopEncoder;
            } else {
                return;  // already stopping the encoder, or discarding
            }
        }
        if (now >= next || cancel_.compare_exchange_weak(now, next, std::memory_order_acq_rel,
                                                         std::memory_order_acquire)) {
            return;
        }
    }
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

std::string ExportJob::temp_base() const {
    return in_.temp_base.empty() ? temp_base_folder() : in_.temp_base;
}

std::string ExportJob::temp_read_failure(const std::string& what) const {
    const std::string base = temp_base();
    return "cannot read its working copy in the temporary folder " + base + ": " + what;
}

std::string ExportJob::temp_write_failure(const std::string& what, int err) const {
    const std::string base = temp_base();
    if (is_disk_full(err))
        return "the temporary folder " + base + " is full (" + what + ")";
    return what + " in the temporary folder " + base + ": " + std::strerror(err);
}

ExportJobResult ExportJob::work() {
    ExportJobResult r;
    r.peak_level = in_.entry.peak_level;
    r.tag = in_.tag;
    if (cancel_requested()) {
        r.end = ExportEnd::Cancelled;  // cancelled before it began: nothing read or written
        return r;
    }
    const ExportFormat format = export_format(in_.options);
    const bool mp3_out = format == ExportFormat::Mp3;
    const bool builtin_mp3 = mp3_out && in_.encoder.use_external_encoder == 0;

    reset_processor_state(p_);
    std::string target = in_.target_path;
    if (!mp3_out)
        target = strip_extension(target) + export_format_extension(format);
    observer_.files(std::string(song_path(in_.entry)), target);

    // A target that cannot be written is found before the song is copied and processed.
    const std::string final_path = final_output_path(in_.target_path, format);
    std::string error;
    if (!check_write_target(final_path, error)) {
        end_failed(r, error);
        return r;
    }
    if (in_.temp_folder.empty()) {
        end_failed(r, "cannot make a private folder in the temporary folder " + temp_base());
        return r;
    }
    const TempPaths temp = make_temp_paths(in_.temp_folder, in_.run_id);
    TempFilesGuard cleanup{temp};
    if (make_working_copy(temp, r) && process_song(temp, builtin_mp3, r) &&
        (r.end == ExportEnd::Completed || keeps_cancelled_output())) {
        finish_song(temp, final_path, builtin_mp3, r);
    }
    return r;
}

int ExportJob::cores() const {
    return in_.cores > 0 ? in_.cores
                         : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// Copies the song into the temp folder (an MP3 decoded to WAV there; a song through libsndfile
// decoded there at its chain rate, read once from where it is) and measures its level when
// the export normalises. False with r Failed or Cancelled when it cannot.
bool ExportJob::make_working_copy(const TempPaths& temp, ExportJobResult& r) {
    const auto stop = [this] { return stopping(ExportCancel::StopProcessing); };
    ConvertControl control;
    control.throttle = throttle_;
    control.cancelled = stop;
    const bool normalise = in_.options.normalise_on_export != 0;
    std::optional<PeakTracker> decoded_peak;
    if (in_.entry.source_type == SOURCE_SNDFILE) {
        observer_.stage(ExportStage::DecodingSource);
        if (normalise)
            decoded_peak.emplace();
        ConvertFailure decode;
        SndfileSongInfo song;
        if (!decode_sndfile_to_wav(std::string(song_path(in_.entry)), temp.input_copy, control,
                                   decode, decoded_peak ? &*decoded_peak : nullptr, &song,
                                   export_stages_threaded(cores()))) {
            if (decode.cancelled)
                return end_cancelled(r);
            return end_failed(r, decode.write_errno != 0
                                     ? temp_write_failure("decoding the song", decode.write_errno)
                                     : decode.text);
        }
        source_tags_ = song.tags;
        r.tag = id3v1_slot_of(song.tags);
        return take_level(temp, decoded_peak ? &*decoded_peak : nullptr, r);
    }
    const std::string& working =
        in_.entry.source_type == SOURCE_MP3 ? temp.mp3_source_copy : temp.input_copy;
    CopyError why;
    if (!copy_file(std::string(song_path(in_.entry)), working, &why, stop)) {
        if (why.stopped)
            return end_cancelled(r);
        return end_failed(r, why.reading ? "cannot read it: " + std::string(std::strerror(why.err))
                                         : temp_write_failure("copying the song", why.err));
    }
    if (in_.entry.source_type == SOURCE_MP3) {
        observer_.stage(ExportStage::DecodingMp3);
        ConvertFailure decode;
        // The level is taken from the samples as they are written: no second pass.
        if (normalise)
            decoded_peak.emplace();
        if (!decode_mp3_to_wav(temp.mp3_source_copy, temp.input_copy, r.tag, control, decode,
                               decoded_peak ? &*decoded_peak : nullptr)) {
            if (decode.cancelled)
                return end_cancelled(r);
            return end_failed(r, decode.write_errno != 0
                                     ? temp_write_failure("decoding the song", decode.write_errno)
                                     : decode.text);
        }
        source_tags_ = tags_of_id3v1(r.tag);
    }
    return take_level(temp, decoded_peak ? &*decoded_peak : nullptr, r);
}

// The level for normalisation: the one taken while decoding, or a scan of the working copy.
bool ExportJob::take_level(const TempPaths& temp, const PeakTracker* decoded_peak,
                           ExportJobResult& r) {
    if (in_.options.normalise_on_export != 0) {
        observer_.stage(ExportStage::MeasuringLevel);
        if (decoded_peak) {
            in_.entry.peak_level = decoded_peak->level();
        } else {
            std::string why_not;
            const auto stop = [this] { return stopping(ExportCancel::StopProcessing); };
            const PeakResult peak = measure_peak(in_.entry, temp.input_copy, stop, &why_not);
            if (peak == PeakResult::Cancelled)
                return end_cancelled(r);
            if (peak == PeakResult::ReadError)
                return end_failed(r, temp_read_failure(why_not));
        }
        r.peak_level = in_.entry.peak_level;
    }
    observer_.stage(ExportStage::Processing);
    return true;
}

// The processed song to its target: encoded by the external encoder (and measured) or tagged
// when it is an MP3, then renamed into place. r keeps its end (Completed, or Cancelled with
// the blocks made) unless this fails.
bool ExportJob::finish_song(const TempPaths& temp, const std::string& final_path, bool builtin_mp3,
                            ExportJobResult& r) {
    const ExportFormat format = export_format(in_.options);
    std::string finished = builtin_mp3                    ? temp.processed_mp3
                           : format == ExportFormat::Flac ? temp.processed_flac
                           : format == ExportFormat::Opus ? temp.processed_opus
                                                          : temp.processed_wav;
    if (in_.options.output_mp3 != 0 && !builtin_mp3) {
        ConvertControl control;
        control.throttle = throttle_;
        control.cancelled = [this] { return stopping(ExportCancel::StopEncoder); };
        control.encoder_timeout_seconds = in_.encoder_timeout_seconds;
        EncodeOutcome enc =
            encode_wav_to_mp3(temp.processed_wav, in_.encoder, in_.options, r.tag, control,
                              [this](ExportStage stage) { observer_.stage(stage); });
        r.encoder_output = std::move(enc.encoder_output);
        if (!enc.ok) {
            if (enc.cancelled)
                return end_cancelled(r);
            r.params_too_long = enc.params_too_long;
            return encoder_failure(enc.write_errno, enc.error, r);
        }
        finished = enc.mp3_path;
        // The encoder's low-pass and rounding change the loudness (by half a LU on a bright
        // song): the figures are those of the MP3 as it decodes. A file the decoder cannot
        // read gets none rather than the figures of another sound.
        LoudnessFigures figures;
        std::string unmeasured;
        if (r.end == ExportEnd::Completed && measure_file_loudness(finished, figures, unmeasured)) {
            r.loudness = figures;
        }
    } else if (builtin_mp3) {
        std::string tag_error;
        int err = 0;
        if (!append_export_tag(finished, r.tag, in_.options, tag_error, err))
            return encoder_failure(err, tag_error, r);
    } else if (format == ExportFormat::Opus && r.end == ExportEnd::Completed) {
        // Opus encodes with a band limit and its own rounding: the figures are those of the
        // file as it decodes, as for an MP3.
        LoudnessFigures figures;
        std::string unmeasured;
        if (measure_file_loudness(finished, figures, unmeasured)) {
            r.loudness = figures;
        }
    }
    // The last moment a quit (or a cancel that keeps nothing) can still leave the target as
    // it was.
    if (!keeps_cancelled_output())
        return end_cancelled(r);
    std::string error;
    if (!place_file(finished, final_path, error))
        return end_failed(r, error);
    r.output_path = final_path;
    return true;
}

namespace {

// A block of the song as the chain takes it: 16384 stereo frames, zero after `frames`.
struct InBlock {
    std::vector<int16_t> samples;
    int frames = 0;
};

// Reads the working copy block by block; a mono song's frames go to both channels.
class BlockReader {
public:
    BlockReader(WavReader& reader, int channels) : reader_(reader), channels_(channels) {}
    // False on a read error (never taken for the end of the song): error() says why.
    bool next(InBlock& block) {
        block.samples.assign(EXPORT_BLOCK_SAMPLES, 0);
        int16_t* in = block.samples.data();
        if (channels_ == 2) {
            size_t got = reader_.read(in, block.samples.size() * sizeof(int16_t));
            block.frames = static_cast<int>(got / 4);
            if (got % 4 != 0) {  // a cut-off last frame is not a frame
                in[2 * static_cast<size_t>(block.frames)] = 0;
            }
        } else {
            size_t got = reader_.read(mono_.data(), mono_.size() * sizeof(int16_t));
            block.frames = static_cast<int>(got / 2);
            for (int f = 0; f < block.frames; ++f) {
                in[2 * static_cast<size_t>(f)] = mono_[static_cast<size_t>(f)];
                in[2 * static_cast<size_t>(f) + 1] = mono_[static_cast<size_t>(f)];
            }
        }
        return !reader_.failed();
    }
    std::string error() const { return reader_.error(); }

private:
    WavReader& reader_;
    int channels_;
    std::vector<int16_t> mono_ = std::vector<int16_t>(EXPORT_BLOCK_FRAMES);
};

}  // namespace

// The working copy as the chain reads it: its header (the processed WAV starts with the same
// bytes) and its reader.
struct ExportJob::SongInput {
    std::vector<uint8_t> header;
    WavReader reader;
    int channels = 2;
    int32_t rate = 0;
    uint64_t data_bytes = 0;

    // False with why set when the copy cannot be read or holds no samples.
    bool open(const std::string& path, std::string& why) {
        if (!read_wav_header_bytes(path, header, why)) {
            return false;
        }
        if (!reader.open(path)) {
            why = reader.error();
            return false;
        }
        if (reader.headerless()) {
            why = "not a RIFF/WAVE file";
            return false;
        }
        if (reader.data_bytes() == 0) {
            why = TEXT_NO_SAMPLES;
            return false;
        }
        // The working copy's own header decides, so a stale entry (an MP3 re-encoded since it
        // was added) cannot make the job read stereo as mono.
        channels = reader.channels() == 1 ? 1 : 2;
        rate = reader.rate();
        data_bytes = reader.data_bytes();
        return true;
    }
};

// The stages after the chain for the chosen output: the WAV writer (with the meter of what it
// writes), or the built-in encoder with the loudness stage behind it; each on a thread of its
// own when the job has the cores. They end in the order the destructor writes, whatever the
// order of the members: every thread before the stage it runs, every stage before the one it
// hands its work to.
struct ExportJob::OutputStages {
    OutputStages() = default;
    OutputStages(const OutputStages&) = delete;
    OutputStages& operator=(const OutputStages&) = delete;
    ~OutputStages() {
        stage_thread.reset();  // the chain's next stage: its queue dropped, its thread joined
        write.reset();         // closes the processed WAV
        encode.reset();        // may still hand the encoder's last bytes to the loudness stage
        loudness_thread.reset();
        mp3_loudness.reset();
        wav_loudness.reset();  // the writer measured into it
    }

    ConvertControl control;  // the encoder's cancel and throttle, kept while it runs
    std::optional<Mp3LoudnessStage> mp3_loudness;
    std::optional<ThreadedSink<StreamBytes>> loudness_thread;
    std::optional<Mp3EncodeStage> encode;
    std::optional<LoudnessMeter> wav_loudness;
    std::optional<WavWriteStage> write;
    std::optional<SndfileEncodeStage> sndfile_encode;  // FLAC or Opus
    std::optional<ThreadedSink<PcmBlock>> stage_thread;
    Sink<PcmBlock>* out = nullptr;  // what the chain hands its blocks to

    // Stops the stages and waits for their threads, so what they report is read after they
    // wrote it.
    void stop() {
        if (stage_thread) {
            stage_thread->cancel();
            stage_thread->finish();
        }
        if (loudness_thread) {
            loudness_thread->cancel();
            loudness_thread->finish();
        }
    }
};

// The reader of the working copy: on a thread of its own, a block ahead, when the job has the
// cores; else inline, when the chain asks for a block.
class ExportJob::BlockSource {
public:
    BlockSource(WavReader& reader, int channels, bool threaded)
        : blocks_(reader, channels), threaded_(threaded) {
        if (threaded_) {
            thread_ = std::thread([this] { read_ahead(); });
        }
    }
    ~BlockSource() {
        queue_.cancel();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    BlockSource(const BlockSource&) = delete;
    BlockSource& operator=(const BlockSource&) = delete;

    // False at a read error (failed()) or when the reader was stopped.
    bool next(InBlock& block) {
        if (threaded_) {
            return queue_.pop(block);
        }
        failed_ = !blocks_.next(block);
        return !failed_;
    }
    // After next() returned false: whether a read failed, and why.
    bool failed() const { return failed_; }
    std::string error() const { return blocks_.error(); }
    // Drops what was read ahead and stops the reader's thread at its next block.
    void stop() { queue_.cancel(); }

private:
    void read_ahead() {
        for (;;) {
            InBlock block;
            if (!blocks_.next(block)) {
                failed_ = true;
                queue_.close();
                return;
            }
            const bool last = block.frames < EXPORT_BLOCK_FRAMES;
            if (!queue_.push(std::move(block)) || last) {
                queue_.close();
                return;
            }
        }
    }

    BlockReader blocks_;
    BlockQueue<InBlock> queue_{2};
    bool failed_ = false;  // the reader's thread writes it before the queue closes
    const bool threaded_;
    std::thread thread_;
};

// The chain's output blocks and where their frames go. Three blocks: the chain makes one while
// the frames of the ones before are handed on, a piece at a time, in the chain's waits; the
// oldest must be handed on before the chain makes the next block in its place.
class ExportJob::ChainOutput {
public:
    // piece_frames: the most frames handed on at a time.
    ChainOutput(Sink<PcmBlock>& out, int channels, int piece_frames)
        : out_(out), channels_(channels), piece_frames_(piece_frames) {}

    // The block the chain makes next.
    int16_t* block() { return blocks_[current_].data(); }
    // Whether frames of the block the chain makes next are still to be handed on.
    bool due() const {
        return std::any_of(pending_.begin(), pending_.begin() + count_,
                           [&](const Pending& p) { return p.block == current_; });
    }
    // The block just made: its processor output frames [from, to) are to be handed on (left
    // only for a mono song) after those made before; the next block is made in the next one.
    void made(int from, int to) {
        if (from < to) {
            pending_[static_cast<size_t>(count_++)] = {current_, from, to};
        }
        current_ = (current_ + 1) % BLOCKS;
    }
    bool pending() const { return count_ > 0; }
    // Hands on the next piece of what is pending; false when the stage stopped.
    bool hand_on_piece() {
        Pending& oldest = pending_[0];
        const int from = oldest.from;
        const int to = std::min(oldest.to, from + piece_frames_);
        const std::vector<int16_t>& made = blocks_[oldest.block];
        oldest.from = to;
        if (oldest.from == oldest.to) {
            std::rotate(pending_.begin(), pending_.begin() + 1, pending_.begin() + count_);
            --count_;
        }
        PcmBlock block;
        block.samples.resize(static_cast<size_t>(to - from) * static_cast<size_t>(channels_));
        size_t count = 0;
        for (int f = from; f < to; ++f) {
            block.samples[count++] = made[2 * static_cast<size_t>(f)];
            if (channels_ == 2) {
                block.samples[count++] = made[2 * static_cast<size_t>(f) + 1];
            }
        }
        frames_ += static_cast<uint64_t>(to - from);
        return out_.put(std::move(block));
    }
    // Hands on all that is pending; false when the stage stopped.
    bool hand_on_all() {
        while (pending()) {
            if (!hand_on_piece())
                return false;
        }
        return true;
    }
    uint64_t frames() const { return frames_; }  // handed on so far

private:
    static constexpr int BLOCKS = 3;
    struct Pending {
        int block = 0;
        int from = 0;
        int to = 0;
    };
    Sink<PcmBlock>& out_;
    const int channels_;
    const int piece_frames_;
    std::vector<int16_t> blocks_[BLOCKS] = {std::vector<int16_t>(EXPORT_BLOCK_SAMPLES),
                                            std::vector<int16_t>(EXPORT_BLOCK_SAMPLES),
                                            std::vector<int16_t>(EXPORT_BLOCK_SAMPLES)};
    int current_ = 0;
    // Oldest first; a block's frames are pending at most once, and never the current block's
    // when the chain makes it.
    std::array<Pending, BLOCKS> pending_{};
    int count_ = 0;
    uint64_t frames_ = 0;
};

// How the chain's loop ended.
enum class ExportJob::ChainStop { EndOfSong, Cancelled, ReadFailed, StageStopped };

// Runs the processor over the input copy. The chain runs here, on the job's thread, which
// also makes every observer call (with the cores, the fronts of its chunks on a thread of
// their own: chain_stage.h); the reader, the writer or the encoder, and the MP3's loudness
// run inline or on threads of their own (export_stages_threaded, export_output_threaded;
// inline, a block is handed on while the next block's fronts run). The blocks, their
// order and the dither draws are those of a single thread whatever the threads. Returns false
// when the job ends here (r Failed, or Cancelled by a cancel that stopped the encoder); r.end
// says Completed or Cancelled otherwise.
bool ExportJob::process_song(const TempPaths& temp, bool builtin_mp3, ExportJobResult& r) {
    SongInput song;
    std::string why;
    if (!song.open(temp.input_copy, why)) {
        return end_failed(r, why);
    }
    const int cores = this->cores();
    const bool threaded = export_stages_threaded(cores);
    OutputStages stages;
    if (!set_up_stages(temp, builtin_mp3, song, cores, stages, r)) {
        return false;
    }
    BlockSource blocks(song.reader, song.channels, threaded);
    const int latency = start_chain(song, r.peak_level);
    ChainStage chain(p_, export_chain_threaded(cores));
    // The WAV writer on this thread, beside a chain over two threads, takes a block in pieces
    // in the chain's waits; otherwise a stage takes it whole.
    const bool in_pieces = stages.write && !stages.stage_thread && chain.two_threads();
    ChainOutput output(*stages.out, song.channels,
                       in_pieces ? EXPORT_HAND_ON_FRAMES : EXPORT_BLOCK_FRAMES);
    uint64_t frames_in = 0;
    const ChainStop stop = run_chain(blocks, chain, output, song.rate, latency, frames_in);
    if (stop == ChainStop::ReadFailed) {
        stages.stop();
        return end_failed(r, temp_read_failure(blocks.error()));
    }
    if (stop == ChainStop::StageStopped) {
        stages.stop();
        return stage_failure(stages, r);
    }
    blocks.stop();  // the reader may be a block ahead of a cancel
    r.end = stop == ChainStop::Cancelled ? ExportEnd::Cancelled : ExportEnd::Completed;
    return finish_stages(stages, song, frames_in, output.frames(), builtin_mp3, r);
}

// Makes the stages after the chain for the chosen output and writes what comes before the
// blocks (the WAV's header, or the encoder's start). False with r Failed when it cannot.
bool ExportJob::set_up_stages(const TempPaths& temp, bool builtin_mp3, const SongInput& song,
                              int cores, OutputStages& stages, ExportJobResult& r) {
    const bool threaded = export_stages_threaded(cores);
    const ExportFormat format = export_format(in_.options);
    // Reads what is written, after it is formed: it never changes a byte of the output. A
    // FLAC holds exactly the blocks too.
    if (format == ExportFormat::Wav || format == ExportFormat::Flac) {
        stages.wav_loudness.emplace(song.channels, song.rate);
    }
    stages.control.throttle = throttle_;
    // A cancel that only stops the processing leaves the encoder to encode what was made.
    stages.control.cancelled = [this] { return stopping(ExportCancel::StopEncoder); };
    if (builtin_mp3) {
        stages.mp3_loudness.emplace();
        Sink<StreamBytes>* stream = &*stages.mp3_loudness;
        if (threaded) {
            stages.loudness_thread.emplace(*stages.mp3_loudness, EXPORT_QUEUE_STREAM_CHUNKS);
            stream = &*stages.loudness_thread;
        }
        stages.encode.emplace(stream);
        if (!stages.encode->open(
                temp.processed_mp3, song.rate, song.channels, in_.encoder.mp3_bitrate_kbps,
                song.data_bytes / (2u * static_cast<unsigned>(song.channels)), stages.control)) {
            const ConvertFailure& why = stages.encode->failure();
            return encoder_failure(why.write_errno, why.text, r);
        }
    } else if (format == ExportFormat::Flac || format == ExportFormat::Opus) {
        stages.sndfile_encode.emplace(stages.wav_loudness ? &*stages.wav_loudness : nullptr);
        const std::string& path =
            format == ExportFormat::Flac ? temp.processed_flac : temp.processed_opus;
        if (!stages.sndfile_encode->open(
                path, format, song.rate, song.channels, in_.encoder.opus_bitrate_kbps,
                export_comment_tags(source_tags_, in_.options), stages.control)) {
            return sndfile_failure(stages.sndfile_encode->failure(), r);
        }
    } else {
        std::FILE* out = std::fopen(temp.processed_wav.c_str(), "wb+");
        if (out == nullptr)
            return end_failed(r, temp_write_failure("writing the processed song", errno));
        // A WAV that will be moved into place as it is starts on its way to the disk early.
        const bool moved =
            format == ExportFormat::Wav &&
            may_move_into_place(temp.processed_wav, final_output_path(in_.target_path, format));
        stages.write.emplace(out, song.header,
                             stages.wav_loudness ? &*stages.wav_loudness : nullptr, moved);
        if (std::fwrite(song.header.data(), 1, song.header.size(), out) != song.header.size())
            return end_failed(r, temp_write_failure("writing the processed song", errno));
    }
    Sink<PcmBlock>& stage = builtin_mp3 ? static_cast<Sink<PcmBlock>&>(*stages.encode)
                            : stages.sndfile_encode
                                ? static_cast<Sink<PcmBlock>&>(*stages.sndfile_encode)
                                : *stages.write;
    if (export_output_threaded(cores, stages.write.has_value()))
        stages.stage_thread.emplace(stage, EXPORT_QUEUE_BLOCKS);
    stages.out = stages.stage_thread ? static_cast<Sink<PcmBlock>*>(&*stages.stage_thread) : &stage;
    return true;
}

// Readies the processor for the song and shows the song, the target and the progress range.
// Returns the chain's latency in frames.
int ExportJob::start_chain(const SongInput& song, int32_t peak_level) {
    p_.params.normalisation_gain = normalisation_gain_for_peak(peak_level);
    const uint64_t steps = song.data_bytes / (static_cast<uint64_t>(song.channels) * 32768u);
    observer_.set_progress_range(song.data_bytes == 0 ? 100 : static_cast<int>(steps));
    observer_.files(std::string(song_path(in_.entry)),
                    final_output_path(in_.target_path, export_format(in_.options)));
    change_sample_rate(p_, song.rate);
    return chain_latency_frames(p_.params);
}

// The chain's loop on the job's thread: the throttle's pause before each block, the blocks
// handed on `latency` frames late (the first frames skipped, the last block bringing out the
// tail), the time and progress after each whole block, then a cancel looked at. frames_in
// counts the song's frames processed.
ExportJob::ChainStop ExportJob::run_chain(BlockSource& blocks, ChainStage& chain,
                                          ChainOutput& output, int32_t rate, int latency,
                                          uint64_t& frames_in) {
    Throttle pause(throttle_, EXPORT_THROTTLE_DIVISOR, 1);
    int64_t base = 0;  // processor output frames before the current block
    InBlock in_block;
    // Each block's frames are handed on while the next block's chain runs (in its waits for
    // the fronts, with two threads: chain_stage.h), so that a stage run on this thread holds
    // no block up.
    bool stage_stopped = false;
    const std::function<bool()> hand_on_piece = [&] {
        if (stage_stopped || !output.pending())
            return false;
        if (!output.hand_on_piece())
            stage_stopped = true;
        return !stage_stopped && output.pending();
    };
    // Blocks made before are handed on while the chain makes the next ones; only the oldest
    // must be gone before the chain writes over it.
    const std::function<bool()> output_due = [&] { return !stage_stopped && output.due(); };
    auto hand_on_all = [&] {
        if (!stage_stopped && !output.hand_on_all())
            stage_stopped = true;
        return !stage_stopped;
    };
    auto run_block = [&]() {
        chain.process_block(EXPORT_BLOCK_SAMPLES, in_block.samples.data(), output.block(),
                            hand_on_piece, output_due);
        meters_.add(p_.state.meters);
        observer_.block_done();
        return !stage_stopped;
    };
    for (;;) {
        pause.pause_if_due();
        if (!blocks.next(in_block)) {
            // Without a read error, the stage after the chain stopped the reader.
            return blocks.failed() ? ChainStop::ReadFailed : ChainStop::StageStopped;
        }
        if (!run_block())
            return ChainStop::StageStopped;
        const int skip = static_cast<int>(std::max<int64_t>(0, latency - base));
        if (in_block.frames != EXPORT_BLOCK_FRAMES) {
            // The last block: the output runs L frames behind, so the tail of the song may
            // still sit in the processor; one block of silence brings it out.
            const int frames = in_block.frames;
            const int64_t end = latency + static_cast<int64_t>(frames_in) + frames - base;
            output.made(skip, static_cast<int>(std::min<int64_t>(end, EXPORT_BLOCK_FRAMES)));
            if (end > EXPORT_BLOCK_FRAMES) {
                std::fill(in_block.samples.begin(), in_block.samples.end(), int16_t{0});
                if (!run_block())
                    return ChainStop::StageStopped;
                output.made(0, static_cast<int>(end - EXPORT_BLOCK_FRAMES));
            }
            if (!hand_on_all())
                return ChainStop::StageStopped;
            frames_in += static_cast<uint64_t>(frames);
            return ChainStop::EndOfSong;
        }
        output.made(skip, EXPORT_BLOCK_FRAMES);
        base += EXPORT_BLOCK_FRAMES;
        frames_in += static_cast<uint64_t>(in_block.frames);
        observer_.processed(frames_in, rate);
        observer_.step_progress();
        if (stopping(ExportCancel::StopProcessing)) {
            // What was processed is kept up to here, as a cancelled song may keep it.
            return hand_on_all() ? ChainStop::Cancelled : ChainStop::StageStopped;
        }
    }
}

// After the chain's loop: the stages finish with the blocks made (or stop, when a cancelled
// song keeps nothing), then the loudness of what they wrote is taken.
bool ExportJob::finish_stages(OutputStages& stages, const SongInput& song, uint64_t frames_in,
                              uint64_t frames_out, bool builtin_mp3, ExportJobResult& r) {
    if (r.end == ExportEnd::Cancelled && !keeps_cancelled_output()) {
        stages.stop();
        return true;
    }
    // A data chunk that promised samples the file does not hold.
    if (frames_in == 0 && r.end == ExportEnd::Completed) {
        stages.stop();
        return end_failed(r, TEXT_NO_SAMPLES);
    }
    const uint64_t written = frames_out * static_cast<uint64_t>(song.channels) * 2u;
    if (stages.write && written > 0xFFFFFFFFull - song.header.size()) {
        stages.stop();
        return end_failed(r, TEXT_OVER_4_GIB);
    }
    if (builtin_mp3)
        observer_.stage(ExportStage::EncodingMp3);
    else if (stages.sndfile_encode)
        observer_.stage(export_format(in_.options) == ExportFormat::Flac
                            ? ExportStage::EncodingFlac
                            : ExportStage::EncodingOpus);
    if (!stages.out->finish())
        return stage_failure(stages, r);
    if (r.end == ExportEnd::Completed) {
        LoudnessFigures figures;
        if (stages.wav_loudness && stages.wav_loudness->figures(figures)) {
            r.loudness = figures;
        } else if (builtin_mp3) {
            // The encoder's low-pass and rounding change the loudness (by half a LU on a
            // bright song): the figures are those of the MP3 as it decodes. A stream the
            // decoder cannot read gets none rather than the figures of another sound.
            r.loudness = stages.mp3_loudness->figures();
        }
    }
    return true;
}

// What failed after the chain, in words, once the stages' threads ended: the encoder's failure
// is the encoder's, and a cancel that stopped the encoder is a cancel. Always false.
bool ExportJob::stage_failure(const OutputStages& stages, ExportJobResult& r) const {
    if (stages.sndfile_encode) {
        return sndfile_failure(stages.sndfile_encode->failure(), r);
    }
    if (stages.encode) {
        const ConvertFailure& why = stages.encode->failure();
        if (why.cancelled)
            return end_cancelled(r);
        return encoder_failure(why.write_errno, why.text, r);
    }
    if (stages.write->too_long())
        return end_failed(r, TEXT_OVER_4_GIB);
    return end_failed(
        r, temp_write_failure("writing the processed song", stages.write->write_errno()));
}

// The FLAC or Opus encoder failed or was cancelled: a write error names the temp folder. Not
// an MP3 encoder's failure: the format stays. Always false.
bool ExportJob::sndfile_failure(const ConvertFailure& why, ExportJobResult& r) const {
    if (why.cancelled)
        return end_cancelled(r);
    return end_failed(
        r, why.write_errno != 0 ? temp_write_failure("encoding", why.write_errno) : why.text);
}

// The MP3 step failed: a write error names the temp folder. Always false.
bool ExportJob::encoder_failure(int write_errno, const std::string& text,
                                ExportJobResult& r) const {
    r.encoder_failed = true;
    return end_failed(r, write_errno != 0 ? temp_write_failure("encoding", write_errno) : text);
}

}  // namespace zv
