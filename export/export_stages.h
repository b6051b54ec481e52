// The stages after the chain in an export: writing the processed WAV (measuring what it
// writes), encoding the MP3 with the built-in encoder, and measuring the MP3 as it decodes
// while it is being made. ExportJob connects them to its chain, inline or on threads of their
// own (stage_link.h); each stage is used by one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/loudness.h"
#include "export/mp3_convert.h"
#include "export/sndfile_convert.h"
#include "export/stage_link.h"
#include "sources/mp3_source.h"

namespace zv {

// Processed frames as the file holds them: interleaved, one or two channels.
struct PcmBlock {
    std::vector<int16_t> samples;
};
// Encoded bytes as the encoder wrote them.
using StreamBytes = std::vector<uint8_t>;

// Blocks in flight between two stages. With the chain's 16384-frame blocks (64 KiB) a job
// holds well under a megabyte whatever the song's length.
constexpr size_t EXPORT_QUEUE_BLOCKS = 4;
constexpr size_t EXPORT_QUEUE_STREAM_CHUNKS = 64;

// Whether a job runs its stages on threads of their own. The chain runs on the job's thread;
// with two or more cores to itself the job also reads, writes or encodes, and measures the
// MP3, each on a thread of its own. Those stages, with the chain, ask for about two cores'
// worth of work at most (the encoder is the slowest; the reader, the writer and the meter
// wait on it most of the time), so `cores` jobs of one core each, or one job of two, keep
// the machine busy without crowding it. A job with one core runs every stage inline on its
// own thread, one block after another, as a single-threaded export does.
constexpr bool export_stages_threaded(int cores_for_job) {
    return cores_for_job >= 2;
}
// Whether a job also splits its chain over two threads (chain_stage.h): with two cores to
// itself, so that one song's chain is not held to one core.
constexpr bool export_chain_threaded(int cores_for_job) {
    return cores_for_job >= 2;
}
// Whether the stage after the chain runs on a thread of its own. The WAV writer (a copy into
// the file and the meter of what it writes, a third of the back's work) does not when the
// chain is over two threads: it runs on the job's thread while the next block's fronts run,
// so that the song keeps two threads busy on two cores rather than three, the third of which
// took a third of the fronts' core. The encoders, heavier than the chain, always do.
constexpr bool export_output_threaded(int cores_for_job, bool wav_writer) {
    return export_stages_threaded(cores_for_job) &&
           !(wav_writer && export_chain_threaded(cores_for_job));
}
// The cores each of `jobs` jobs running at once may use on a machine of `cores`.
constexpr int export_cores_per_job(int cores, int jobs) {
    return jobs <= 0 || cores <= jobs ? 1 : cores / jobs;
}

// Bytes of the processed WAV between requests to the kernel to start writing them to the disk.
constexpr uint64_t EXPORT_WRITEBACK_BYTES = 4u << 20;

// Writes the blocks after the header already written to `out` (which it owns from now on),
// then sets the header's sizes and closes the file. Feeds the loudness meter when it is given one.
// With write_back_early the kernel is asked to start writing the file to the disk as it grows:
// a file that becomes the target as it is (moved into place) then needs little writing when
// it is flushed at the end.
class WavWriteStage final : public Sink<PcmBlock> {
public:
    WavWriteStage(std::FILE* out, std::vector<uint8_t> header, LoudnessMeter* meter,
                  bool write_back_early = false);
    ~WavWriteStage() override;
    WavWriteStage(const WavWriteStage&) = delete;
    WavWriteStage& operator=(const WavWriteStage&) = delete;

    bool put(PcmBlock&& block) override;
    bool finish() override;

    // After a failure: the error number of a failed write, or 0 with too_long().
    int write_errno() const { return err_; }
    bool too_long() const { return too_long_; }

private:
    std::FILE* out_;
    std::vector<uint8_t> header_;
    LoudnessMeter* meter_;
    bool write_back_early_;
    uint64_t samples_ = 0;
    uint64_t written_back_ = 0;  // bytes from the start the kernel was asked to write
    int err_ = 0;
    bool too_long_ = false;
};

// Measures the encoder's stream as it decodes: the figures a decoder of the finished file
// gives (Mp3FeedDecoder). Never fails the export: a stream it cannot decode has no figures.
class Mp3LoudnessStage final : public Sink<StreamBytes> {
public:
    bool put(StreamBytes&& bytes) override;
    bool finish() override;
    // After finish(): the figures, or none when the stream did not decode to samples.
    std::optional<LoudnessFigures> figures() const { return figures_; }

private:
    void feed(const uint8_t* bytes, size_t size);

    Mp3FeedDecoder decoder_;
    std::optional<LoudnessMeter> meter_;
    bool failed_ = false;
    std::vector<int16_t> interleaved_;  // the frames of one piece, kept for its capacity
    std::optional<LoudnessFigures> figures_;
};

// The built-in encoder as a stage: encodes the blocks into its file and hands the stream on
// to `stream` (the loudness stage, inline or threaded) when given one.
class Mp3EncodeStage final : public Sink<PcmBlock> {
public:
    explicit Mp3EncodeStage(Sink<StreamBytes>* stream);
    // False with why set when the encoder cannot start or its file cannot be made.
    bool open(const std::string& mp3_path, int32_t rate, int channels, int bitrate_kbps,
              uint64_t frames, const ConvertControl& control);
    bool put(PcmBlock&& block) override;
    bool finish() override;
    const ConvertFailure& failure() const { return why_; }

private:
    Mp3FileEncoder encoder_;
    Sink<StreamBytes>* stream_;
    int channels_ = 2;
    ConvertFailure why_;
};

// The FLAC or Opus encoder as a stage. Feeds the loudness meter the blocks when given one (a
// FLAC holds exactly them; an Opus file is measured as it decodes once finished).
class SndfileEncodeStage final : public Sink<PcmBlock> {
public:
    explicit SndfileEncodeStage(LoudnessMeter* meter) : meter_(meter) {}
    // False with why set when the encoder cannot start or its file cannot be made.
    bool open(const std::string& path, ExportFormat format, int32_t rate, int channels,
              int opus_bitrate_kbps, const SongTags& tags, const ConvertControl& control);
    bool put(PcmBlock&& block) override;
    bool finish() override;
    const ConvertFailure& failure() const { return why_; }

private:
    SndfileFileEncoder encoder_;
    LoudnessMeter* meter_;
    int channels_ = 2;
    ConvertFailure why_;
};

}  // namespace zv
