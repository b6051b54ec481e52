#include "sources/sndfile_source.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "sources/ogg_pages.h"
#include "sources/playlist.h"
#include "sources/song_rates.h"

namespace zv {
namespace {

// libsndfile reads through these, so every read goes through our ByteReader: regular files
// only, read errors kept, memory buffers for the tests and the fuzzer.
sf_count_t vio_length(void* user) {
    return static_cast<sf_count_t>(static_cast<ByteReader*>(user)->size());
}

sf_count_t vio_seek(sf_count_t offset, int whence, void* user) {
    ByteReader& in = *static_cast<ByteReader*>(user);
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(in.tell());
    } else if (whence == SEEK_END) {
        base = static_cast<int64_t>(in.size());
    }
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0) {
        return -1;
    }
    const int64_t target = base + offset;
    return in.seek(static_cast<uint64_t>(target)) ? target : -1;
}

sf_count_t vio_read(void* dst, sf_count_t count, void* user) {
    if (count <= 0) {
        return 0;
    }
    return static_cast<sf_count_t>(
        static_cast<ByteReader*>(user)->read(dst, static_cast<size_t>(count)));
}

sf_count_t vio_write(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t vio_tell(void* user) {
    return static_cast<sf_count_t>(static_cast<ByteReader*>(user)->tell());
}

SF_VIRTUAL_IO virtual_io() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = vio_length;
    io.seek = vio_seek;
    io.read = vio_read;
    io.write = vio_write;
    io.tell = vio_tell;
    return io;
}

enum class NameKind { Flac, Ogg, Opus, Wav, Any };

NameKind name_kind(std::string_view name) {
    if (has_extension(name, ".flac")) {
        return NameKind::Flac;
    }
    if (has_extension(name, ".ogg") || has_extension(name, ".oga")) {
        return NameKind::Ogg;
    }
    if (has_extension(name, ".opus")) {
        return NameKind::Opus;
    }
    if (has_extension(name, ".wav")) {
        return NameKind::Wav;
    }
    return NameKind::Any;
}

const char* name_kind_text(NameKind kind) {
    switch (kind) {
        case NameKind::Flac:
            return "FLAC";
        case NameKind::Ogg:
            return "Ogg Vorbis or Ogg Opus";
        case NameKind::Opus:
            return "Ogg Opus";
        case NameKind::Wav:
            return "WAV";
        case NameKind::Any:
            break;
    }
    return "a song";
}

bool kind_allows(NameKind kind, SndfileCodec codec) {
    switch (kind) {
        case NameKind::Flac:
            return codec == SndfileCodec::Flac;
        case NameKind::Ogg:
            return codec == SndfileCodec::Vorbis || codec == SndfileCodec::Opus;
        case NameKind::Opus:
            return codec == SndfileCodec::Opus;
        case NameKind::Wav:
            return codec == SndfileCodec::Wav;
        case NameKind::Any:
            return true;
    }
    return false;
}

// What the library found, when it is one of ours; the text of what it is otherwise.
bool codec_of(int format, SndfileCodec& codec, std::string& other) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int sub = format & SF_FORMAT_SUBMASK;
    if (major == SF_FORMAT_FLAC) {
        codec = SndfileCodec::Flac;
        return true;
    }
    if (major == SF_FORMAT_OGG && sub == SF_FORMAT_VORBIS) {
        codec = SndfileCodec::Vorbis;
        return true;
    }
    if (major == SF_FORMAT_OGG && sub == SF_FORMAT_OPUS) {
        codec = SndfileCodec::Opus;
        return true;
    }
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) {
        codec = SndfileCodec::Wav;
        return true;
    }
    SF_FORMAT_INFO about{};
    about.format = major;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &about, sizeof about) == 0 &&
        about.name != nullptr) {
        other = std::string("a file of the kind ") + about.name;
    }
    if (major == SF_FORMAT_OGG) {
        other = "an Ogg file of another codec";
    } else if (major == SF_FORMAT_MPEG) {
        other = "MPEG audio";
    }
    if (other.empty()) {
        other = "another kind of sound file";
    }
    return false;
}

bool plain_16_bit(int format) {
    const int sub = format & SF_FORMAT_SUBMASK;
    return sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16;
}

bool wav_samples_taken(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_16:  // at another rate than 32000, 44100 or 48000 Hz
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return true;
        default:
            return false;
    }
}

std::string string_of(SNDFILE* sf, int id) {
    const char* text = sf_get_string(sf, id);
    return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

const char* sndfile_codec_text(SndfileCodec codec) {
    switch (codec) {
        case SndfileCodec::Flac:
            return "FLAC";
        case SndfileCodec::Vorbis:
            return "Ogg Vorbis";
        case SndfileCodec::Opus:
            return "Ogg Opus";
        case SndfileCodec::Wav:
            return "WAV";
    }
    return "";
}

std::string sndfile_problem_text(SndfileProblem problem, const std::string& detail) {
    const std::string why = detail.empty() ? std::string() : " (" + detail + ")";
    switch (problem) {
        case SndfileProblem::None:
            return {};
        case SndfileProblem::CannotOpen:
            return "cannot open: " + detail;
        case SndfileProblem::ReadError:
            return "read error: " + detail;
        case SndfileProblem::Unreadable:
            return "cannot read it as a sound file" + why;
        case SndfileProblem::WrongKind:
            return detail;
        case SndfileProblem::Encoding:
            return "unsupported kind of samples" + why +
                   " (WAV songs of 16, 24 or 32 bits, or 32-bit float)";
        case SndfileProblem::Channels:
            return "unsupported channel count" + why + " (1 or 2 channels only)";
        case SndfileProblem::Rate:
            return "unsupported sample rate" + why + " (8000 to 192000 Hz only)";
        case SndfileProblem::NoSamples:
            return "it holds no samples";
        case SndfileProblem::CutShort:
            return "the file is damaged or cut short" + why;
    }
    return {};
}

bool is_sndfile_song_name(std::string_view path) {
    const NameKind kind = name_kind(path);
    return kind == NameKind::Flac || kind == NameKind::Ogg || kind == NameKind::Opus;
}

bool wav_walk_is_for_sndfile(const WavHeaderWalk& walk) {
    if (walk.status != WavWalkStatus::Unsupported) {
        return false;
    }
    if (walk.channels != 1 && walk.channels != 2) {
        return false;
    }
    if (!is_song_rate(walk.rate)) {
        return false;
    }
    return walk.bits == 16 || walk.bits == 24 || walk.bits == 32;
}

struct SndfileReader::State {
    std::unique_ptr<ByteReader> input;
    SF_VIRTUAL_IO io = virtual_io();
    SNDFILE* sf = nullptr;

    ~State() {
        if (sf != nullptr) {
            sf_close(sf);
        }
    }
};

SndfileReader::SndfileReader() = default;
SndfileReader::~SndfileReader() = default;
SndfileReader::SndfileReader(SndfileReader&&) noexcept = default;
SndfileReader& SndfileReader::operator=(SndfileReader&&) noexcept = default;

void SndfileReader::close() {
    state_.reset();
    info_ = SndfileSongInfo{};
    position_ = 0;
    problem_ = SndfileProblem::None;
    detail_.clear();
}

bool SndfileReader::is_open() const {
    return state_ != nullptr && state_->sf != nullptr;
}

bool SndfileReader::refuse(SndfileProblem problem, std::string detail) {
    state_.reset();
    problem_ = problem;
    detail_ = std::move(detail);
    return false;
}

void SndfileReader::stop_reading(SndfileProblem problem, std::string detail) {
    if (problem_ == SndfileProblem::None) {
        problem_ = problem;
        detail_ = std::move(detail);
    }
}

bool SndfileReader::open(const std::string& path, SndfileOpen check) {
    close();
    auto file = std::make_unique<FileByteReader>();
    if (!file->open(path)) {
        return refuse(SndfileProblem::CannotOpen, file->open_failure().text());
    }
    return open(std::move(file), path, check);
}

bool SndfileReader::open(std::unique_ptr<ByteReader> input, std::string_view name,
                         SndfileOpen check) {
    close();
    state_ = std::make_unique<State>();
    state_->input = std::move(input);
    ByteReader& in = *state_->input;
    const NameKind expected = name_kind(name);
    if (expected == NameKind::Wav) {
        // Only what the WAV reader refuses for its depth or rate comes here: a WAV it refuses
        // for anything else (a "data" before its "fmt ", 3 channels, a cut header) stays
        // refused, whatever the library would make of it.
        const WavHeaderWalk walk = walk_wav_header(in);
        if (walk.status == WavWalkStatus::ReadError) {
            return refuse(SndfileProblem::ReadError, std::strerror(in.error()));
        }
        if (!wav_walk_is_for_sndfile(walk)) {
            return refuse(SndfileProblem::Unreadable, walk.status == WavWalkStatus::Ok
                                                          ? "the WAV reader takes it"
                                                          : wav_walk_status_text(walk.status));
        }
        in.seek(0);
    }
    if (check == SndfileOpen::WholeSong && expected != NameKind::Wav &&
        expected != NameKind::Flac) {
        uint8_t magic[4] = {};
        if (in.read(magic, sizeof magic) == sizeof magic && std::memcmp(magic, "OggS", 4) == 0) {
            std::string why;
            if (!check_ogg_pages(in, why)) {
                return in.error() != 0
                           ? refuse(SndfileProblem::ReadError, std::strerror(in.error()))
                           : refuse(SndfileProblem::CutShort, why);
            }
        }
        if (in.error() != 0) {
            return refuse(SndfileProblem::ReadError, std::strerror(in.error()));
        }
        in.seek(0);
    }
    SF_INFO sfinfo{};
    state_->sf = sf_open_virtual(&state_->io, SFM_READ, &sfinfo, &in);
    if (state_->sf == nullptr) {
        if (in.error() != 0) {
            return refuse(SndfileProblem::ReadError, std::strerror(in.error()));
        }
        return refuse(SndfileProblem::Unreadable, sf_strerror(nullptr));
    }
    std::string other;
    if (!codec_of(sfinfo.format, info_.codec, other)) {
        return refuse(SndfileProblem::WrongKind,
                      other + ", not " + name_kind_text(expected) + " as its name says");
    }
    if (!kind_allows(expected, info_.codec)) {
        return refuse(SndfileProblem::WrongKind,
                      std::string("an ") + sndfile_codec_text(info_.codec) + " file, not " +
                          name_kind_text(expected) + " as its name says");
    }
    if (info_.codec == SndfileCodec::Wav && !wav_samples_taken(sfinfo.format)) {
        SF_FORMAT_INFO about{};
        about.format = sfinfo.format & SF_FORMAT_SUBMASK;
        const bool named = sf_command(nullptr, SFC_GET_FORMAT_INFO, &about, sizeof about) == 0 &&
                           about.name != nullptr;
        return refuse(SndfileProblem::Encoding, named ? about.name : std::string());
    }
    if (sfinfo.channels != 1 && sfinfo.channels != 2) {
        return refuse(SndfileProblem::Channels, std::to_string(sfinfo.channels));
    }
    if (!is_song_rate(sfinfo.samplerate)) {
        return refuse(SndfileProblem::Rate, std::to_string(sfinfo.samplerate) + " Hz");
    }
    if (sfinfo.frames <= 0 || sfinfo.frames == SF_COUNT_MAX) {
        return refuse(SndfileProblem::NoSamples);
    }
    info_.rate = sfinfo.samplerate;
    info_.channels = sfinfo.channels;
    info_.frames = static_cast<uint64_t>(sfinfo.frames);
    info_.plain_16_bit = plain_16_bit(sfinfo.format);
    if (info_.codec != SndfileCodec::Wav) {
        info_.tags.title = string_of(state_->sf, SF_STR_TITLE);
        info_.tags.artist = string_of(state_->sf, SF_STR_ARTIST);
        info_.tags.album = string_of(state_->sf, SF_STR_ALBUM);
        info_.tags.track = track_number_of(string_of(state_->sf, SF_STR_TRACKNUMBER));
    }
    return true;
}

template <typename T>
size_t SndfileReader::read_frames(T* dst, size_t frames) {
    if (!is_open() || problem_ != SndfileProblem::None || frames == 0) {
        return 0;
    }
    const uint64_t left = info_.frames - std::min(position_, info_.frames);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(frames, left));
    size_t got = 0;
    while (got < want) {
        T* at = dst + got * static_cast<size_t>(info_.channels);
        const auto n = static_cast<sf_count_t>(want - got);
        sf_count_t done = 0;
        if constexpr (std::is_same_v<T, int16_t>) {
            done = sf_readf_short(state_->sf, at, n);
        } else {
            done = sf_readf_float(state_->sf, at, n);
        }
        if (state_->input->error() != 0) {
            stop_reading(SndfileProblem::ReadError, std::strerror(state_->input->error()));
            return got;  // what came before the failed read is not trusted either
        }
        if (sf_error(state_->sf) != SF_ERR_NO_ERROR) {
            // libFLAC found a frame that fails its checksum or lost its sync.
            stop_reading(SndfileProblem::CutShort, sf_strerror(state_->sf));
            return got;
        }
        if (done <= 0) {
            break;
        }
        got += static_cast<size_t>(done);
    }
    position_ += got;
    if (got < want) {
        // The header promised more: a cut-off file or a damaged stream. Never an early end.
        stop_reading(SndfileProblem::CutShort, "it ends after " + std::to_string(position_) +
                                                   " of " + std::to_string(info_.frames) +
                                                   " samples");
    }
    return got;
}

size_t SndfileReader::read_short(int16_t* dst, size_t frames) {
    return read_frames(dst, frames);
}

size_t SndfileReader::read_float(float* dst, size_t frames) {
    return read_frames(dst, frames);
}

bool SndfileReader::seek(uint64_t frame) {
    if (!is_open() || problem_ != SndfileProblem::None) {
        return false;
    }
    frame = std::min(frame, info_.frames);
    if (sf_seek(state_->sf, static_cast<sf_count_t>(frame), SEEK_SET) < 0) {
        if (state_->input->error() != 0) {
            stop_reading(SndfileProblem::ReadError, std::strerror(state_->input->error()));
        } else {
            stop_reading(SndfileProblem::CutShort, sf_strerror(state_->sf));
        }
        return false;
    }
    position_ = frame;
    return true;
}

bool probe_sndfile(const std::string& path, SndfileSongInfo& info, std::string* why) {
    SndfileReader reader;
    const bool ok = reader.open(path, SndfileOpen::Headers);
    if (why != nullptr) {
        *why = ok ? std::string() : reader.error();
    }
    if (ok) {
        info = reader.info();
    }
    return ok;
}

bool probe_sndfile(const uint8_t* data, size_t size, std::string_view name, SndfileSongInfo& info) {
    SndfileReader reader;
    if (!reader.open(std::make_unique<MemoryByteReader>(data, size), name, SndfileOpen::Headers)) {
        return false;
    }
    info = reader.info();
    return true;
}

}  // namespace zv
