#include "export/mp3_convert.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "export/external_encoder.h"
#include "export/file_ops.h"
#include "export/id3_tag_build.h"
#include "export/throttle.h"
#include "export/wav_header.h"
#include "sources/mp3_source.h"
#include "sources/mp3_stream_info.h"
#include "sources/wav_source.h"

namespace zv {
namespace {

constexpr int CONVERT_THROTTLE_DIVISOR = 50;
constexpr int CONVERT_THROTTLE_EVERY = 20;
constexpr size_t MP3_CALL_FRAMES = 1152;  // frames per call into the encoder library

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct LameCloser {
    void operator()(lame_global_flags* g) const {
        if (g)
            lame_close(g);
    }
};

// The decoder library allows one call at a time in the whole process (sources/ holds that
// lock frame by frame). Exports take whole decoding passes one at a time as well: two passes
// that alternate frame by frame both run slower than one after the other, and once the
// passes are apart one job decodes while the other processes. A plain mutex polled with
// try_lock (not a timed mutex, whose clock-based wait ThreadSanitizer cannot follow).
std::mutex& decoding_pass_lock() {
    static std::mutex lock;
    return lock;
}

std::string text_of(const std::array<char, TAG_PREFIX_BYTES>& field) {
    return std::string(field.data(), strnlen(field.data(), field.size()));
}

}  // namespace

bool decode_mp3_to_wav(const std::string& mp3_path, const std::string& wav_path, Id3v1Tag& tag_slot,
                       const ConvertControl& control, ConvertFailure& why, PeakTracker* peak) {
    why = ConvertFailure{};
    std::unique_lock<std::mutex> pass(decoding_pass_lock(), std::defer_lock);
    while (!pass.try_lock()) {
        if (control.cancelled && control.cancelled()) {
            why.text = "cancelled while decoding";
            why.cancelled = true;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    read_id3v1(mp3_path, tag_slot);
    Mp3Decoder decoder;
    if (!decoder.open(mp3_path)) {
        why.text = "cannot decode it: " + decoder.error();
        return false;
    }
    const int channels = decoder.channels();
    FilePtr out(std::fopen(wav_path.c_str(), "wb"));
    if (!out) {
        why.text = "cannot write the decoded copy";
        why.write_errno = errno;
        return false;
    }
    auto fail = [&](std::string text, int err = 0) {
        out.reset();
        remove_file(wav_path);
        why.text = std::move(text);
        why.write_errno = err;
        return false;
    };
    auto write_failed = [&]() { return fail("cannot write the decoded copy", errno); };
    WavFormat format{decoder.rate(), channels};
    std::array<uint8_t, PCM_WAV_HEADER_BYTES> header = make_pcm_wav_header(format, 0);
    if (std::fwrite(header.data(), 1, header.size(), out.get()) != header.size())
        return write_failed();

    Throttle pause(control.throttle, CONVERT_THROTTLE_DIVISOR, CONVERT_THROTTLE_EVERY);
    std::vector<int16_t> left(MP3_FRAME_SAMPLES), right(MP3_FRAME_SAMPLES);
    std::vector<int16_t> interleaved(2 * MP3_FRAME_SAMPLES);
    uint64_t data_bytes = 0;
    for (;;) {
        if (control.cancelled && control.cancelled()) {
            fail("cancelled while decoding");
            why.cancelled = true;
            return false;
        }
        pause.pause_if_due();
        int n = decoder.read_frame(left.data(), right.data());
        if (n == 0)
            break;
        if (n < 0) {
            // A read error, a change of rate or channels, or a frame that does not decode:
            // the decoder says which, and nothing of what follows is trusted.
            return fail(decoder.error().empty()
                            ? "decoding error after " +
                                  std::to_string(data_bytes / (2u * channels)) + " samples"
                            : decoder.error());
        }
        size_t count = 0;
        for (int i = 0; i < n; ++i) {
            interleaved[count++] = left[i];
            if (channels == 2)
                interleaved[count++] = right[i];
        }
        if (std::fwrite(interleaved.data(), sizeof(int16_t), count, out.get()) != count)
            return write_failed();
        if (peak != nullptr) {
            peak->add(interleaved.data(), count);
        }
        data_bytes += count * sizeof(int16_t);
        if (data_bytes > 0xFFFFFFF0ull - PCM_WAV_HEADER_BYTES)
            return fail("it is too long for a WAV file");
    }
    header = make_pcm_wav_header(format, static_cast<uint32_t>(data_bytes));
    if (std::fseek(out.get(), 0, SEEK_SET) != 0 ||
        std::fwrite(header.data(), 1, header.size(), out.get()) != header.size())
        return write_failed();
    if (std::fclose(out.release()) != 0) {
        const int err = errno;
        remove_file(wav_path);
        why.text = "cannot write the decoded copy";
        why.write_errno = err;
        return false;
    }
    return true;
}

struct Mp3FileEncoder::State {
    std::unique_ptr<lame_global_flags, LameCloser> lame;
    FilePtr out;
    std::string path;
    int channels = 2;
    std::vector<int16_t> pending;  // frames waiting for a whole call
    size_t pending_frames = 0;
    std::vector<unsigned char> mp3;
    const ConvertControl* control = nullptr;
    std::unique_ptr<Throttle> pause;
    // The Info frame at the start of the stream, held back from on_stream: its header's bytes
    // until they are complete, then how many of its bytes are still to come.
    bool info_frame = false;
    std::vector<uint8_t> head;
    size_t skip = 0;
};

Mp3FileEncoder::Mp3FileEncoder() = default;

Mp3FileEncoder::~Mp3FileEncoder() {
    if (s_ && s_->out) {
        s_->out.reset();
        remove_file(s_->path);  // never finished: nothing is left
    }
}

bool Mp3FileEncoder::fail(ConvertFailure& why, std::string text, int err) {
    if (s_ && s_->out) {
        s_->out.reset();
        remove_file(s_->path);
    }
    why.text = std::move(text);
    why.write_errno = err;
    return false;
}

bool Mp3FileEncoder::open(const std::string& mp3_path, int32_t rate, int channels, int bitrate_kbps,
                          uint64_t frames, const ConvertControl& control, ConvertFailure& why) {
    why = ConvertFailure{};
    s_ = std::make_unique<State>();
    s_->channels = channels;
    s_->control = &control;
    s_->lame.reset(lame_init());
    if (!s_->lame) {
        why.text = "the MP3 encoder cannot start";
        return false;
    }
    lame_global_flags* lame = s_->lame.get();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_num_samples(lame, static_cast<unsigned long>(frames));
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, bitrate_kbps);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) {
        why.text = "the MP3 encoder refuses " + std::to_string(bitrate_kbps) + " kbit/s at " +
                   std::to_string(rate) + " Hz";
        return false;
    }
    s_->info_frame = lame_get_bWriteVbrTag(lame) != 0;
    s_->out.reset(std::fopen(mp3_path.c_str(), "wb+"));
    if (!s_->out) {
        why.text = "cannot write the encoded file";
        why.write_errno = errno;
        return false;
    }
    s_->path = mp3_path;
    s_->pending.resize(static_cast<size_t>(MP3_CALL_FRAMES) * static_cast<size_t>(channels));
    s_->mp3.resize(MP3_CALL_FRAMES * 5 / 4 + 7200);
    s_->pause = std::make_unique<Throttle>(control.throttle, CONVERT_THROTTLE_DIVISOR,
                                           CONVERT_THROTTLE_EVERY);
    return true;
}

bool Mp3FileEncoder::emit(const unsigned char* bytes, size_t size, ConvertFailure& why) {
    if (size == 0) {
        return true;
    }
    if (std::fwrite(bytes, 1, size, s_->out.get()) != size) {
        return fail(why, "cannot write the encoded file", errno);
    }
    if (!on_stream) {
        return true;
    }
    State& s = *s_;
    if (s.info_frame) {
        // Its length follows from its header (Layer III: samples / 8 x bitrate / rate,
        // plus the padding byte).
        while (s.head.size() < 4 && size > 0) {
            s.head.push_back(*bytes++);
            --size;
        }
        if (s.head.size() < 4) {
            return true;
        }
        Mp3FrameHeader h;
        size_t length = 4;
        if (parse_mp3_frame_header(s.head.data(), h) && h.bitrate_kbps > 0) {
            length = static_cast<size_t>(h.samples_per_frame / 8 * h.bitrate_kbps * 1000 / h.rate) +
                     ((s.head[2] >> 1) & 1u);
        }
        s.info_frame = false;
        s.skip = length - 4;
    }
    const size_t skipped = std::min(s.skip, size);
    s.skip -= skipped;
    if (size > skipped) {
        on_stream(bytes + skipped, size - skipped);
    }
    return true;
}

bool Mp3FileEncoder::encode_pending(ConvertFailure& why) {
    State& s = *s_;
    if (s.control->cancelled && s.control->cancelled()) {
        fail(why, "cancelled while encoding");
        why.cancelled = true;
        return false;
    }
    s.pause->pause_if_due();
    const int frames = static_cast<int>(s.pending_frames);
    s.pending_frames = 0;
    const int size = static_cast<int>(s.mp3.size());
    int written = s.channels == 2
                      ? lame_encode_buffer_interleaved(s.lame.get(), s.pending.data(), frames,
                                                       s.mp3.data(), size)
                      : lame_encode_buffer(s.lame.get(), s.pending.data(), s.pending.data(), frames,
                                           s.mp3.data(), size);
    if (written < 0) {
        return fail(why, "MP3 encoder error " + std::to_string(written));
    }
    return emit(s.mp3.data(), static_cast<size_t>(written), why);
}

bool Mp3FileEncoder::write(const int16_t* interleaved, size_t frames, ConvertFailure& why) {
    State& s = *s_;
    const size_t channels = static_cast<size_t>(s.channels);
    while (frames > 0) {
        const size_t take = std::min(frames, MP3_CALL_FRAMES - s.pending_frames);
        std::copy(interleaved, interleaved + take * channels,
                  s.pending.begin() + static_cast<std::ptrdiff_t>(s.pending_frames * channels));
        s.pending_frames += take;
        interleaved += take * channels;
        frames -= take;
        if (s.pending_frames == MP3_CALL_FRAMES && !encode_pending(why)) {
            return false;
        }
    }
    return true;
}

bool Mp3FileEncoder::finish(ConvertFailure& why) {
    State& s = *s_;
    if (s.pending_frames > 0 && !encode_pending(why)) {
        return false;
    }
    if (s.control->cancelled && s.control->cancelled()) {
        fail(why, "cancelled while encoding");
        why.cancelled = true;
        return false;
    }
    int written = lame_encode_flush(s.lame.get(), s.mp3.data(), static_cast<int>(s.mp3.size()));
    if (written < 0) {
        return fail(why, "MP3 encoder error " + std::to_string(written));
    }
    if (!emit(s.mp3.data(), static_cast<size_t>(written), why)) {
        return false;
    }
    // The Info frame at the start of the stream was reserved by the library; fill it in now
    // that the length is known, as the encoder's own front end does.
    size_t tag_bytes = lame_get_lametag_frame(s.lame.get(), s.mp3.data(), s.mp3.size());
    if (tag_bytes > 0) {
        if (std::fseek(s.out.get(), 0, SEEK_SET) != 0 ||
            std::fwrite(s.mp3.data(), 1, tag_bytes, s.out.get()) != tag_bytes)
            return fail(why, "cannot write the encoded file", errno);
    }
    if (std::fclose(s.out.release()) != 0) {
        const int err = errno;
        remove_file(s.path);
        why.text = "cannot write the encoded file";
        why.write_errno = err;
        return false;
    }
    return true;
}

bool encode_wav_to_mp3_builtin(const std::string& wav_path, const std::string& mp3_path,
                               int bitrate_kbps, const ConvertControl& control,
                               ConvertFailure& why) {
    why = ConvertFailure{};
    WavReader reader;
    if (!reader.open(wav_path) || reader.headerless()) {
        why.text = "cannot read the processed file";
        return false;
    }
    const int channels = reader.channels();
    Mp3FileEncoder encoder;
    if (!encoder.open(mp3_path, reader.rate(), channels, bitrate_kbps,
                      reader.data_bytes() / (2u * static_cast<unsigned>(channels)), control, why))
        return false;
    std::vector<int16_t> pcm(MP3_CALL_FRAMES * static_cast<size_t>(channels));
    for (;;) {
        size_t bytes = reader.read(pcm.data(), pcm.size() * sizeof(int16_t));
        if (reader.failed()) {
            why.text = "cannot read the processed file: " + reader.error();
            return false;  // the encoder removes its file
        }
        const size_t frames = bytes / (2u * static_cast<unsigned>(channels));
        if (frames == 0)
            break;
        if (!encoder.write(pcm.data(), frames, why))
            return false;
    }
    return encoder.finish(why);
}

EncodeOutcome encode_wav_to_mp3(const std::string& wav_path, const EncoderSettings& encoder,
                                const ExportOptions& options, const Id3v1Tag& tag_slot,
                                const ConvertControl& control,
                                const std::function<void(ExportStage)>& status) {
    EncodeOutcome outcome;
    outcome.mp3_path = mp3_path_for(wav_path);
    if (encoder.use_external_encoder == 0) {
        if (status)
            status(ExportStage::EncodingMp3);
        ConvertFailure why;
        if (!encode_wav_to_mp3_builtin(wav_path, outcome.mp3_path, encoder.mp3_bitrate_kbps,
                                       control, why)) {
            outcome.error = why.text;
            outcome.write_errno = why.write_errno;
            outcome.cancelled = why.cancelled;
            return outcome;
        }
    } else {
        if (status)
            status(ExportStage::EncodingMp3External);
        std::string program(
            encoder.external_encoder_path.data(),
            strnlen(encoder.external_encoder_path.data(), encoder.external_encoder_path.size()));
        std::string tmpl(encoder.external_encoder_params.data(),
                         strnlen(encoder.external_encoder_params.data(),
                                 encoder.external_encoder_params.size()));
        ExternalEncoderControl run{control.cancelled, control.encoder_timeout_seconds};
        ExternalEncodeResult ext =
            run_external_encoder(program, tmpl, wav_path, outcome.mp3_path, run);
        outcome.encoder_output = std::move(ext.output);
        if (!ext.ok) {
            outcome.params_too_long = ext.params_too_long;
            outcome.cancelled = ext.cancelled;
            outcome.timed_out = ext.timed_out;
            outcome.error = ext.error;
            remove_file(outcome.mp3_path);
            return outcome;
        }
    }
    if (!append_export_tag(outcome.mp3_path, tag_slot, options, outcome.error,
                           outcome.write_errno)) {
        remove_file(outcome.mp3_path);
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

bool append_export_tag(const std::string& mp3_path, const Id3v1Tag& tag_slot,
                       const ExportOptions& options, std::string& error, int& write_errno) {
    if (!tag_slot.present())
        return true;
    Id3v1Tag tag = build_export_tag(tag_slot, text_of(options.tag_album_prefix),
                                    text_of(options.tag_title_prefix));
    if (!append_id3v1(mp3_path, tag)) {
        error = "cannot append the ID3v1 tag to the encoded file";
        write_errno = errno;
        return false;
    }
    return true;
}

}  // namespace zv
