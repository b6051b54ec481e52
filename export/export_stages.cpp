#include "export/export_stages.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "export/wav_header.h"

namespace zv {

WavWriteStage::WavWriteStage(std::FILE* out, std::vector<uint8_t> header, LoudnessMeter* meter,
                             bool write_back_early)
    : out_(out), header_(std::move(header)), meter_(meter), write_back_early_(write_back_early) {}

WavWriteStage::~WavWriteStage() {
    if (out_ != nullptr) {
        std::fclose(out_);
    }
}

bool WavWriteStage::put(PcmBlock&& block) {
    const size_t count = block.samples.size();
    if (meter_ != nullptr) {
        // Read only: the bytes written never change.
        meter_->add(std::span<const int16_t>(block.samples.data(), count));
    }
    if (std::fwrite(block.samples.data(), sizeof(int16_t), count, out_) != count) {
        err_ = errno;
        return false;
    }
    samples_ += count;
    if (write_back_early_ &&
        header_.size() + 2 * samples_ >= written_back_ + EXPORT_WRITEBACK_BYTES) {
        // What the stream has handed to the kernel (all but its buffer); a failure here only
        // leaves the writing to the flush at the end.
        const off_t handed = ::lseek(fileno(out_), 0, SEEK_CUR);
        if (handed > static_cast<off_t>(written_back_)) {
            ::sync_file_range(fileno(out_), static_cast<off_t>(written_back_),
                              handed - static_cast<off_t>(written_back_), SYNC_FILE_RANGE_WRITE);
            written_back_ = static_cast<uint64_t>(handed);
        }
    }
    return true;
}

bool WavWriteStage::finish() {
    const uint64_t written = samples_ * 2u;
    if (written > 0xFFFFFFFFull - header_.size()) {
        too_long_ = true;
        return false;
    }
    set_wav_header_sizes(header_, static_cast<uint32_t>(written));
    if (std::fseek(out_, 0, SEEK_SET) != 0 ||
        std::fwrite(header_.data(), 1, header_.size(), out_) != header_.size()) {
        err_ = errno;
        return false;
    }
    std::FILE* out = out_;
    out_ = nullptr;
    if (std::fclose(out) != 0) {
        err_ = errno;
        return false;
    }
    return true;
}

void Mp3LoudnessStage::feed(const uint8_t* bytes, size_t size) {
    if (failed_) {
        return;
    }
    // Decoded under one turn of the decoder lock, measured outside it.
    interleaved_.clear();
    if (decoder_.decode_all(bytes, size, interleaved_) < 0) {
        failed_ = true;  // figures of part of a song would be wrong figures
        return;
    }
    if (interleaved_.empty()) {
        return;
    }
    if (!meter_) {
        meter_.emplace(decoder_.channels() == 1 ? 1 : 2, decoder_.rate());
    }
    meter_->add(std::span<const int16_t>(interleaved_.data(), interleaved_.size()));
}

bool Mp3LoudnessStage::put(StreamBytes&& bytes) {
    feed(bytes.data(), bytes.size());
    return true;
}

bool Mp3LoudnessStage::finish() {
    feed(nullptr, 0);
    LoudnessFigures f;
    if (!failed_ && meter_ && decoder_.decoded_samples() > 0 && meter_->figures(f)) {
        figures_ = f;
    }
    return true;
}

Mp3EncodeStage::Mp3EncodeStage(Sink<StreamBytes>* stream) : stream_(stream) {
    if (stream_ != nullptr) {
        encoder_.on_stream = [this](const uint8_t* bytes, size_t size) {
            // A loudness stage that stopped takes nothing more; the MP3 is written regardless.
            stream_->put(StreamBytes(bytes, bytes + size));
        };
    }
}

bool Mp3EncodeStage::open(const std::string& mp3_path, int32_t rate, int channels, int bitrate_kbps,
                          uint64_t frames, const ConvertControl& control) {
    channels_ = channels;
    return encoder_.open(mp3_path, rate, channels, bitrate_kbps, frames, control, why_);
}

bool Mp3EncodeStage::put(PcmBlock&& block) {
    return encoder_.write(block.samples.data(),
                          block.samples.size() / static_cast<size_t>(channels_), why_);
}

bool Mp3EncodeStage::finish() {
    if (!encoder_.finish(why_)) {
        return false;
    }
    return stream_ == nullptr || stream_->finish();
}

bool SndfileEncodeStage::open(const std::string& path, ExportFormat format, int32_t rate,
                              int channels, int opus_bitrate_kbps, const SongTags& tags,
                              const ConvertControl& control) {
    channels_ = channels;
    return encoder_.open(path, format, rate, channels, opus_bitrate_kbps, tags, control, why_);
}

bool SndfileEncodeStage::put(PcmBlock&& block) {
    if (meter_ != nullptr) {
        // Read only: the samples encoded never change.
        meter_->add(std::span<const int16_t>(block.samples.data(), block.samples.size()));
    }
    return encoder_.write(block.samples.data(),
                          block.samples.size() / static_cast<size_t>(channels_), why_);
}

bool SndfileEncodeStage::finish() {
    return encoder_.finish(why_);
}

}  // namespace zv
