#include "export/sndfile_convert.h"

#include <fcntl.h>
#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "export/file_ops.h"
#include "export/id3_tag_build.h"
#include "export/throttle.h"
#include "export/wav_header.h"
#include "sources/chain_rate_reader.h"

namespace zv {
namespace {

constexpr int CONVERT_THROTTLE_DIVISOR = 50;
constexpr int CONVERT_THROTTLE_EVERY = 20;
constexpr size_t DECODE_FRAMES = 4096;  // frames per read of the source
constexpr size_t RESAMPLE_SLACK = 64;

bool cancelled(const ConvertControl& control) {
    return control.cancelled && control.cancelled();
}

// The file libsndfile writes, through our descriptor: a failed write keeps its errno, so a
// full disk is told as such.
struct WriteTarget {
    int fd = -1;
    int err = 0;
};

sf_count_t target_length(void* user) {
    struct stat st {};
    return ::fstat(static_cast<WriteTarget*>(user)->fd, &st) == 0 ? st.st_size : -1;
}

sf_count_t target_seek(sf_count_t offset, int whence, void* user) {
    return ::lseek(static_cast<WriteTarget*>(user)->fd, offset, whence);
}

sf_count_t target_read(void* dst, sf_count_t count, void* user) {
    const ssize_t n = ::read(static_cast<WriteTarget*>(user)->fd, dst, static_cast<size_t>(count));
    return n < 0 ? 0 : n;
}

sf_count_t target_write(const void* src, sf_count_t count, void* user) {
    WriteTarget& t = *static_cast<WriteTarget*>(user);
    const char* p = static_cast<const char*>(src);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(t.fd, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (t.err == 0) {
                t.err = n < 0 ? errno : ENOSPC;
            }
            break;
        }
        done += n;
    }
    return done;
}

sf_count_t target_tell(void* user) {
    return ::lseek(static_cast<WriteTarget*>(user)->fd, 0, SEEK_CUR);
}

}  // namespace

namespace {

// Songs at least this long are decoded in two halves when the job has two cores (a few
// seconds: below that a second reader costs more than it saves).
constexpr uint64_t DECODE_SPLIT_MIN_FRAMES = 4 * PEAK_BLOCK_SAMPLES;

// Reads `frames` frames from where the reader is, handing each piece to put(samples, count)
// and feeding peak. False with why set at a read failure, a cancel, `abandon`, or when put
// fails (it sets why); `done` counts the frames handed on.
template <typename Put>
bool decode_frames(ChainRateReader& reader, uint64_t frames, const ConvertControl& control,
                   const std::atomic<bool>& abandon, PeakTracker* peak, ConvertFailure& why,
                   uint64_t& done, Put&& put) {
    const size_t channels = static_cast<size_t>(reader.channels());
    Throttle pause(control.throttle, CONVERT_THROTTLE_DIVISOR, CONVERT_THROTTLE_EVERY);
    std::vector<int16_t> block(DECODE_FRAMES * channels);
    done = 0;
    while (done < frames) {
        if (cancelled(control)) {
            why.text = "cancelled while decoding";
            why.cancelled = true;
            return false;
        }
        if (abandon.load(std::memory_order_relaxed)) {
            return false;
        }
        pause.pause_if_due();
        const size_t got = reader.read(
            block.data(), static_cast<size_t>(std::min<uint64_t>(DECODE_FRAMES, frames - done)));
        if (reader.failed()) {
            // A read error or a damaged stream: nothing of the song is trusted.
            why.text = reader.error();
            return false;
        }
        if (got == 0) {
            return true;  // shorter than its header says: the caller counts
        }
        const size_t count = got * channels;
        if (!put(block.data(), count)) {
            return false;
        }
        if (peak != nullptr) {
            peak->add(block.data(), count);
        }
        done += got;
    }
    return true;
}

// The later half of a 16-bit song at its own rate, from frame `from` to the end, decoded on a
// thread of its own by a reader of its own into the WAV at its place (the header before it).
// Its level is that of its samples alone; the earlier half ends on a level block's edge, so
// the two merge to the level of the whole.
class LaterHalf {
public:
    uint64_t from = 0;
    uint64_t frames = 0;  // decoded
    PeakTracker peak;
    ConvertFailure why;
    bool ok = false;

    // On a failure it tells the earlier half, through `abandon`, to stop too.
    void run(const std::string& source_path, const std::string& wav_path, size_t header_bytes,
             const SndfileSongInfo& expected, uint64_t total, const ConvertControl& control,
             std::atomic<bool>& abandon, bool measure) {
        decode(source_path, wav_path, header_bytes, expected, total, control, abandon, measure);
        if (!ok)
            abandon.store(true);
    }

private:
    void decode(const std::string& source_path, const std::string& wav_path, size_t header_bytes,
                const SndfileSongInfo& expected, uint64_t total, const ConvertControl& control,
                const std::atomic<bool>& abandon, bool measure) {
        ChainRateReader reader;
        if (!reader.open(source_path)) {
            why.text = reader.error();
            return;
        }
        // Opened again by its name: the song must still be the one the earlier half reads.
        const SndfileSongInfo& song = reader.song();
        if (song.rate != expected.rate || song.channels != expected.channels ||
            !song.plain_16_bit || reader.resampled() || reader.frames() != total) {
            why.text = "it changed while it was being read";
            return;
        }
        if (!reader.seek(from)) {
            why.text = reader.failed() ? reader.error() : "it cannot be read from its middle";
            return;
        }
        const int fd = ::open(wav_path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            why.text = "cannot write the decoded copy";
            why.write_errno = errno;
            return;
        }
        const size_t frame_bytes = 2u * static_cast<size_t>(song.channels);
        off_t at = static_cast<off_t>(header_bytes + from * frame_bytes);
        ok = decode_frames(reader, total - from, control, abandon, measure ? &peak : nullptr, why,
                           frames, [&](const int16_t* samples, size_t count) {
                               const size_t bytes = count * sizeof(int16_t);
                               const auto* p = reinterpret_cast<const char*>(samples);
                               for (size_t put = 0; put < bytes;) {
                                   const ssize_t n = ::pwrite(fd, p + put, bytes - put, at);
                                   if (n < 0 && errno == EINTR)
                                       continue;
                                   if (n <= 0) {
                                       why.text = "cannot write the decoded copy";
                                       why.write_errno = n < 0 ? errno : EIO;
                                       return false;
                                   }
                                   put += static_cast<size_t>(n);
                                   at += n;
                               }
                               return true;
                           });
        if (::close(fd) != 0 && ok) {
            ok = false;
            why.text = "cannot write the decoded copy";
            why.write_errno = errno;
        }
    }
};

}  // namespace

bool decode_sndfile_to_wav(const std::string& source_path, const std::string& wav_path,
                           const ConvertControl& control, ConvertFailure& why, PeakTracker* peak,
                           SndfileSongInfo* song, bool two_threads) {
    why = ConvertFailure{};
    ChainRateReader reader;
    if (!reader.open(source_path)) {
        why.text = reader.error();
        return false;
    }
    if (song != nullptr) {
        *song = reader.song();
    }
    const int channels = reader.channels();
    std::FILE* out = std::fopen(wav_path.c_str(), "wb");
    if (out == nullptr) {
        why.text = "cannot write the decoded copy";
        why.write_errno = errno;
        return false;
    }
    auto fail = [&](std::string text, int err = 0) {
        if (out != nullptr) {
            std::fclose(out);
            out = nullptr;
        }
        remove_file(wav_path);
        why.text = std::move(text);
        why.write_errno = err;
        return false;
    };
    const uint64_t total = reader.frames();
    const uint64_t data_bytes = total * static_cast<uint64_t>(channels) * 2u;
    if (data_bytes > 0xFFFFFFF0ull - PCM_WAV_HEADER_BYTES) {
        return fail("it is too long for a WAV file");
    }
    const WavFormat format{reader.rate(), channels};
    const auto header = make_pcm_wav_header(format, static_cast<uint32_t>(data_bytes));
    if (std::fwrite(header.data(), 1, header.size(), out) != header.size()) {
        return fail("cannot write the decoded copy", errno);
    }
    // A 16-bit song at its own rate reads the same from any place (no resampler, no dither):
    // with two cores its later half is decoded beside the earlier one. The earlier half ends
    // on the edge of a level block.
    const bool split = two_threads && reader.song().plain_16_bit && !reader.resampled() &&
                       total >= DECODE_SPLIT_MIN_FRAMES;
    std::atomic<bool> abandon{false};
    LaterHalf later;
    std::thread later_thread;
    uint64_t earlier_frames = total;
    if (split) {
        earlier_frames = total / 2 / PEAK_BLOCK_SAMPLES * PEAK_BLOCK_SAMPLES;
        later.from = earlier_frames;
        later_thread = std::thread([&, song_info = reader.song()] {
            later.run(source_path, wav_path, header.size(), song_info, total, control, abandon,
                      peak != nullptr);
        });
    }
    ConvertFailure earlier_why;
    uint64_t done = 0;
    const bool earlier_ok =
        decode_frames(reader, earlier_frames, control, abandon, peak, earlier_why, done,
                      [&](const int16_t* samples, size_t count) {
                          if (std::fwrite(samples, sizeof(int16_t), count, out) == count)
                              return true;
                          earlier_why.text = "cannot write the decoded copy";
                          earlier_why.write_errno = errno;
                          return false;
                      });
    if (later_thread.joinable()) {
        if (!earlier_ok)
            abandon.store(true);
        later_thread.join();
    }
    if (!earlier_ok || (split && !later.ok)) {
        // An earlier half that stopped because the later one failed has no reason of its own.
        const ConvertFailure& first =
            !earlier_ok && !earlier_why.text.empty() ? earlier_why : later.why;
        const bool was_cancelled = first.cancelled || (split && later.why.cancelled);
        fail(first.text, first.write_errno);
        why.cancelled = was_cancelled;
        return false;
    }
    if (done + later.frames != total) {
        return fail("it decodes to another length than its header gives");
    }
    if (split && peak != nullptr) {
        peak->merge(later.peak);
    }
    if (std::fclose(out) != 0) {
        out = nullptr;
        return fail("cannot write the decoded copy", errno);
    }
    return true;
}

bool measure_sndfile_peak(const std::string& path, int32_t& level, std::string& error) {
    ChainRateReader reader;
    if (!reader.open(path)) {
        error = reader.error();
        return false;
    }
    PeakTracker peak;
    std::vector<int16_t> block(DECODE_FRAMES * static_cast<size_t>(reader.channels()));
    for (;;) {
        const size_t frames = reader.read(block.data(), DECODE_FRAMES);
        if (reader.failed()) {
            error = reader.error();  // a level from part of the song would be wrong
            return false;
        }
        if (frames == 0) {
            break;
        }
        peak.add(block.data(), frames * static_cast<size_t>(reader.channels()));
    }
    level = peak.level();
    return true;
}

SongTags export_comment_tags(const SongTags& source, const ExportOptions& options) {
    if (!source.any()) {
        return {};
    }
    auto text_of = [](const std::array<char, TAG_PREFIX_BYTES>& field) {
        return std::string(field.data(), strnlen(field.data(), field.size()));
    };
    SongTags tags = source;
    tags.album = text_of(options.tag_album_prefix) + tags.album;
    tags.title = text_of(options.tag_title_prefix) + tags.title;
    return tags;
}

struct SndfileFileEncoder::State {
    WriteTarget target;
    SF_VIRTUAL_IO io{};
    SNDFILE* sf = nullptr;
    std::string path;
    ExportFormat format = ExportFormat::Flac;
    int channels = 2;
    int32_t rate = 44100;
    soxr_t resampler = nullptr;
    uint64_t frames_in = 0;   // chain frames given
    uint64_t frames_out = 0;  // frames written to the file
    std::vector<float> in;
    std::vector<float> out;
    const ConvertControl* control = nullptr;
    std::unique_ptr<Throttle> pause;
    bool done = false;  // finished: the file stays

    ~State() {
        if (sf != nullptr) {
            sf_close(sf);
        }
        if (resampler != nullptr) {
            soxr_delete(resampler);
        }
        if (target.fd >= 0) {
            ::close(target.fd);
        }
    }
};

SndfileFileEncoder::SndfileFileEncoder() = default;

SndfileFileEncoder::~SndfileFileEncoder() {
    if (s_ && !s_->done && !s_->path.empty()) {
        const std::string path = s_->path;
        s_.reset();
        remove_file(path);  // never finished: nothing is left
    }
}

bool SndfileFileEncoder::fail(ConvertFailure& why, std::string text, int err) {
    if (s_ && !s_->path.empty()) {
        const std::string path = s_->path;
        s_.reset();
        remove_file(path);
    }
    why.text = std::move(text);
    why.write_errno = err;
    return false;
}

bool SndfileFileEncoder::open(const std::string& path, ExportFormat format, int32_t rate,
                              int channels, int opus_bitrate_kbps, const SongTags& tags,
                              const ConvertControl& control, ConvertFailure& why) {
    why = ConvertFailure{};
    s_ = std::make_unique<State>();
    State& s = *s_;
    s.format = format;
    s.channels = channels;
    s.rate = rate;
    s.control = &control;
    s.pause = std::make_unique<Throttle>(control.throttle, CONVERT_THROTTLE_DIVISOR,
                                         CONVERT_THROTTLE_EVERY);
    const bool opus = format == ExportFormat::Opus;
    const char* what = opus ? "the Opus encoder" : "the FLAC encoder";
    if (opus && rate != OPUS_RATE) {
        soxr_error_t err = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        s.resampler = soxr_create(rate, OPUS_RATE, static_cast<unsigned>(channels), &err, &io,
                                  &quality, &runtime);
        if (s.resampler == nullptr || err != nullptr) {
            why.text =
                std::string(what) + " cannot start: " + (err != nullptr ? err : "no resampler");
            return false;
        }
    }
    s.target.fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (s.target.fd < 0) {
        why.text = "cannot write the encoded file";
        why.write_errno = errno;
        return false;
    }
    s.path = path;
    s.io.get_filelen = target_length;
    s.io.seek = target_seek;
    s.io.read = target_read;
    s.io.write = target_write;
    s.io.tell = target_tell;
    SF_INFO info{};
    info.samplerate = opus ? OPUS_RATE : rate;
    info.channels = channels;
    info.format = opus ? (SF_FORMAT_OGG | SF_FORMAT_OPUS) : (SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    s.sf = sf_open_virtual(&s.io, SFM_WRITE, &info, &s.target);
    if (s.sf == nullptr) {
        return fail(why, std::string(what) + " cannot start: " + sf_strerror(nullptr),
                    s.target.err);
    }
    // libsndfile takes a level of 0..1: FLAC's 0..8 in eighths, Opus's bitrate per channel
    // as (1 - level) x 250 + 6 kbit/s, whole bits per second after a cut (hence the half).
    double level = static_cast<double>(FLAC_COMPRESSION_LEVEL) / 8.0;
    if (opus) {
        const double per_channel = opus_bitrate_kbps * 1000.0 / channels;
        level = 1.0 - (per_channel - 6000.0 + 0.5) / 250000.0;
    }
    if (sf_command(s.sf, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) != SF_TRUE) {
        return fail(why, std::string(what) + " refuses its setting: " + sf_strerror(s.sf));
    }
    if (tags.any()) {
        const std::string track = tags.track > 0 ? std::to_string(tags.track) : std::string();
        const std::pair<int, const std::string*> strings[] = {{SF_STR_TITLE, &tags.title},
                                                              {SF_STR_ARTIST, &tags.artist},
                                                              {SF_STR_ALBUM, &tags.album},
                                                              {SF_STR_TRACKNUMBER, &track}};
        for (const auto& [id, text] : strings) {
            if (!text->empty() && sf_set_string(s.sf, id, text->c_str()) != 0) {
                return fail(why, std::string(what) + " cannot take the tags: " + sf_strerror(s.sf));
            }
        }
        if (sf_set_string(s.sf, SF_STR_COMMENT, ENCODER_MARK) != 0) {
            return fail(why, std::string(what) + " cannot take the tags: " + sf_strerror(s.sf));
        }
    }
    return true;
}

bool SndfileFileEncoder::write_float(const float* interleaved, size_t frames, ConvertFailure& why) {
    State& s = *s_;
    if (frames == 0) {
        return true;
    }
    const sf_count_t done = sf_writef_float(s.sf, interleaved, static_cast<sf_count_t>(frames));
    if (done != static_cast<sf_count_t>(frames) || s.target.err != 0) {
        return fail(why, "cannot write the encoded file", s.target.err);
    }
    s.frames_out += frames;
    return true;
}

bool SndfileFileEncoder::write(const int16_t* interleaved, size_t frames, ConvertFailure& why) {
    if (!s_ || s_->sf == nullptr) {
        return false;
    }
    State& s = *s_;
    if (cancelled(*s.control)) {
        fail(why, "cancelled while encoding");
        why.cancelled = true;
        return false;
    }
    s.pause->pause_if_due();
    s.frames_in += frames;
    const size_t count = frames * static_cast<size_t>(s.channels);
    if (s.format == ExportFormat::Flac) {
        const sf_count_t done = sf_writef_short(s.sf, interleaved, static_cast<sf_count_t>(frames));
        if (done != static_cast<sf_count_t>(frames) || s.target.err != 0) {
            return fail(why, "cannot write the encoded file", s.target.err);
        }
        s.frames_out += frames;
        return true;
    }
    s.in.resize(count);
    for (size_t i = 0; i < count; ++i) {
        s.in[i] = static_cast<float>(interleaved[i]) * (1.0f / 32768.0f);
    }
    if (s.resampler == nullptr) {
        return write_float(s.in.data(), frames, why);
    }
    const size_t room =
        static_cast<size_t>(static_cast<double>(frames) * OPUS_RATE / s.rate) + RESAMPLE_SLACK;
    size_t fed = 0;
    while (fed < frames) {
        s.out.resize(room * static_cast<size_t>(s.channels));
        size_t used = 0, made = 0;
        const soxr_error_t err = soxr_process(s.resampler, s.in.data() + fed * s.channels,
                                              frames - fed, &used, s.out.data(), room, &made);
        if (err != nullptr || (used == 0 && made == 0)) {
            return fail(why, "the Opus encoder's resampler failed");
        }
        fed += used;
        if (!write_float(s.out.data(), made, why)) {
            return false;
        }
    }
    return true;
}

bool SndfileFileEncoder::finish(ConvertFailure& why) {
    if (!s_ || s_->sf == nullptr) {
        return false;
    }
    State& s = *s_;
    if (s.resampler != nullptr) {
        // Exactly the song's length at 48 kHz: the resampler's tail, cut or filled with
        // silence to the rounded frame count.
        const uint64_t want = (s.frames_in * OPUS_RATE + static_cast<uint64_t>(s.rate) / 2) /
                              static_cast<uint64_t>(s.rate);
        const size_t room = 4096;
        for (;;) {
            s.out.resize(room * static_cast<size_t>(s.channels));
            size_t made = 0;
            const soxr_error_t err =
                soxr_process(s.resampler, nullptr, 0, nullptr, s.out.data(), room, &made);
            if (err != nullptr) {
                return fail(why, "the Opus encoder's resampler failed");
            }
            if (made == 0) {
                break;
            }
            made =
                static_cast<size_t>(std::min<uint64_t>(made, want - std::min(want, s.frames_out)));
            if (!write_float(s.out.data(), made, why)) {
                return false;
            }
        }
        if (s.frames_out < want) {
            s.out.assign((want - s.frames_out) * static_cast<uint64_t>(s.channels), 0.0f);
            if (!write_float(s.out.data(), static_cast<size_t>(want - s.frames_out), why)) {
                return false;
            }
        }
    }
    const int closed = sf_close(s.sf);
    s.sf = nullptr;
    if (closed != 0 || s.target.err != 0) {
        return fail(why, "cannot write the encoded file", s.target.err);
    }
    const int fd = s.target.fd;
    s.target.fd = -1;
    if (::close(fd) != 0) {
        return fail(why, "cannot write the encoded file", errno);
    }
    s.done = true;
    return true;
}

}  // namespace zv
