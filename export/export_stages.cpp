#include "export/export_stages.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include "export/wav_header.h"

namespace zv {

WavWriteStage::WavWriteStage(std::FILE* out, std::vector<uint8_t> header, LoudnessMeter* meter)
    : out_(out), header_(std::move(header)), meter_(meter) {}

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
    // The decoder takes the bytes in pieces as the file reader feeds it; one frame per call.
    constexpr size_t PIECE = 4096;
    while (!failed_) {
        const size_t n = std::min(size, PIECE);
        const int got = decoder_.decode(bytes, n, left_.data(), right_.data());
        bytes += n;
        size -= n;
        if (got < 0) {
            failed_ = true;  // figures of part of a song would be wrong figures
            return;
        }
        if (got == 0) {
            if (size == 0) {
                return;
            }
            continue;
        }
        const int channels = decoder_.channels() == 1 ? 1 : 2;
        if (!meter_) {
            meter_.emplace(channels, decoder_.rate());
        }
        size_t count = 0;
        for (int i = 0; i < got; ++i) {
            interleaved_[count++] = left_[static_cast<size_t>(i)];
            if (channels == 2) {
                interleaved_[count++] = right_[static_cast<size_t>(i)];
            }
        }
        meter_->add(std::span<const int16_t>(interleaved_.data(), count));
    }
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

}  // namespace zv
