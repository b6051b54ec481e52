// zvmp3-cli probe: what the playlist would show for each file, or why it refuses it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/file_list_args.h"
#include "sources/id3v1.h"
#include "sources/mp3_source.h"
#include "sources/path_field.h"
#include "sources/playlist.h"
#include "sources/playlist_view.h"
#include "sources/sndfile_source.h"
#include "sources/song_rates.h"
#include "sources/tag_text.h"
#include "sources/wav_source.h"

namespace zv::cli {
namespace {

const char* const PROBE_USAGE =
    "Usage: zvmp3-cli probe [--tsv] FILE...\n"
    "Probes song files as the playlist does when they are added, and prints for each\n"
    "file the playlist's column texts, or why the playlist refuses it, and whether the song\n"
    "is resampled before the processor (to 44100 or 48000 Hz) and to what rate.\n"
    "The type follows the extension (.wav, .mp3, .flac, .ogg, .oga, .opus, any case), as in\n"
    "the playlist; a WAV the WAV reader refuses only for its depth or rate is read like a\n"
    "FLAC file.\n"
    "\n"
    "Options:\n"
    "  --tsv      one tab-separated line per file after a header line:\n"
    "             file probe_result rate channels pcm_bytes time_text\n"
    "             id3_title id3_artist id3_album id3_track chain_rate\n"
    "             a tab, newline, carriage return or backslash in the file name is written\n"
    "             as \\t, \\n, \\r, \\\\;\n"
    "             probe_result is the WAV probe's 1/0/-1, the MP3 probe's 1/0, or 1/0 for a\n"
    "             song read through libsndfile; values that do not apply are '-'; tag texts\n"
    "             are the stored bytes up to the first zero (a FLAC, Vorbis or Opus song's\n"
    "             comments as the playlist keeps them: cut to 30 bytes), printable ASCII as\n"
    "             is, a backslash and any other byte as \\xNN; chain_rate is the rate the\n"
    "             processor runs the song at.\n"
    "  -h, --help show this text\n"
    "\n"
    "Exit status: 0 every file would be added, 1 at least one was refused,\n"
    "2 usage error.\n";

std::string time_text(int64_t pcm_bytes, int32_t channels, int32_t rate) {
    if (channels == 0 || rate == 0) {
        return "--:--";
    }
    int64_t s = pcm_bytes / 2 / channels / rate;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
    return buf;
}

// One file's findings, in the terms of both output forms.
struct ProbeReport {
    std::string path;
    bool is_song = false;  // by its extension
    bool is_mp3 = false;
    bool is_sndfile = false;  // read through libsndfile
    int probe_result = 0;
    bool accepted = false;
    std::string reason;  // why it is refused
    int32_t rate = 0;
    int32_t channels = 0;
    int64_t pcm_bytes = 0;
    Id3v1Tag tag;
};

// A FLAC, Vorbis or Opus file, or a WAV the WAV reader refuses only for its depth or rate.
void probe_through_sndfile(ProbeReport& r) {
    r.is_sndfile = true;
    SndfileSongInfo info;
    std::string why;
    if (!probe_sndfile(r.path, info, &why)) {
        r.probe_result = 0;
        r.reason = why;
        return;
    }
    r.probe_result = 1;
    r.rate = info.rate;
    r.channels = info.channels;
    r.pcm_bytes = sndfile_pcm_bytes(info);
    r.tag = id3v1_slot_of(info.tags);
}

ProbeReport probe_one(const std::string& path) {
    ProbeReport r;
    r.path = path;
    if (has_extension(path, ".wav")) {
        r.is_song = true;
        FileByteReader file;
        if (!file.open(path)) {
            r.probe_result = -1;
            r.reason = file.open_error_text();
        } else {
            WavHeaderWalk walk = walk_wav_header(file);
            uint32_t data_bytes = 0;
            file.seek(0);
            r.probe_result = probe_wav(file, r.rate, r.channels, data_bytes);
            r.pcm_bytes = data_bytes;
            r.reason =
                file.error() != 0 ? read_error_text(file) : wav_walk_status_text(walk.status);
            if (r.probe_result == 0 && wav_walk_is_for_sndfile(walk)) {
                file.close();
                probe_through_sndfile(r);
            } else if (r.probe_result == 0 && walk.status == WavWalkStatus::Unsupported &&
                       file.error() == 0) {
                // The WAV reader's own text names its 16-bit rule; the list takes more.
                r.reason = std::string("unsupported format (") + WAV_FORMATS_TAKEN + ")";
            }
        }
    } else if (is_sndfile_song_name(path)) {
        r.is_song = true;
        probe_through_sndfile(r);
    } else if (has_extension(path, ".mp3")) {
        r.is_song = true;
        r.is_mp3 = true;
        FileByteReader file;
        if (!file.open(path)) {
            r.probe_result = 0;
            r.reason = file.open_error_text();
        } else {
            r.reason = mp3_refusal_reason(read_mp3_stream_info(file));
            if (file.error() != 0) {
                r.reason = read_error_text(file);
            }
            r.probe_result = probe_mp3(file, r.rate, r.channels, r.pcm_bytes);
            if (r.probe_result == 1 && !read_id3v1(path, r.tag)) {
                r.probe_result = 0;
                r.reason = "cannot read the ID3v1 tag";
            }
        }
    } else {
        r.reason =
            "not a song file (the playlist takes .wav, .mp3, .flac, .ogg, .oga and .opus files)";
        return r;
    }
    if (r.probe_result == 1 && !fits_path_field(path)) {
        r.reason = "the path does not fit the playlist's 256-byte path field";
        return r;
    }
    r.accepted = r.probe_result == 1;
    return r;
}

void print_tsv(const ProbeReport& r) {
    auto num = [&](long long v) { return r.accepted ? std::to_string(v) : std::string("-"); };
    std::string result = r.is_song ? std::to_string(r.probe_result) : "-";
    std::string time = r.accepted ? time_text(r.pcm_bytes, r.channels, r.rate) : "-";
    std::string title = "-", artist = "-", album = "-", track = "-";
    if (r.accepted && (r.is_mp3 || (r.is_sndfile && r.tag.present()))) {
        title = escape_tag_field(r.tag.title_field(), ID3V1_FIELD_BYTES);
        artist = escape_tag_field(r.tag.artist_field(), ID3V1_FIELD_BYTES);
        album = escape_tag_field(r.tag.album_field(), ID3V1_FIELD_BYTES);
        track = std::to_string(r.tag.track());
    }
    std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", tsv_field(r.path).c_str(),
                result.c_str(), num(r.rate).c_str(), num(r.channels).c_str(),
                num(r.pcm_bytes).c_str(), time.c_str(), title.c_str(), artist.c_str(),
                album.c_str(), track.c_str(), num(chain_rate_for(r.rate)).c_str());
}

// The row the playlist view shows once the file is added to `pl`, or why it is refused.
void print_columns(const ProbeReport& r, Playlist& pl) {
    if (!r.accepted) {
        std::printf("%s: refused: %s\n", r.path.c_str(), r.reason.c_str());
        return;
    }
    AddResult added = add_song_file(pl, r.path, /*engine_idle=*/true);
    if (!was_added(added)) {
        std::printf("%s: refused: %s\n", r.path.c_str(),
                    added == AddResult::list_full ? "the playlist is full (2000 songs)"
                                                  : "the playlist does not take it");
        return;
    }
    PlaylistRow row = make_playlist_row(pl, pl.song_count - 1, /*engine_playing=*/false);
    std::printf("%s\n", r.path.c_str());
    for (int c = 0; c < PLAYLIST_COLUMN_COUNT; ++c) {
        std::printf("  %-10s %s\n", PLAYLIST_COLUMNS[c].title, row.columns[c].c_str());
    }
    if (chain_rate_for(r.rate) != r.rate) {
        std::printf("  %-10s %d Hz -> %d Hz before the processor\n", "resampled", r.rate,
                    chain_rate_for(r.rate));
    }
}

}  // namespace

int run_probe(int argc, char** argv) {
    const CliOutput out("probe");
    FileListArgs parsed;
    if (const std::optional<int> status = parse_file_list_args(
            argc, argv, out, [] { std::fputs(PROBE_USAGE, stdout); }, parsed)) {
        return *status;
    }
    const bool tsv = parsed.tsv;
    const std::vector<std::string>& files = parsed.files;
    if (tsv) {
        std::printf(
            "file\tprobe_result\trate\tchannels\tpcm_bytes\ttime_text\tid3_title\tid3_artist\t"
            "id3_album\tid3_track\tchain_rate\n");
    }
    // The files enter one list in the order given, as a multiple choice in the open dialog.
    auto playlist = std::make_unique<Playlist>();
    int refused = 0;
    for (const std::string& path : files) {
        ProbeReport r = probe_one(path);
        if (tsv) {
            print_tsv(r);
        } else {
            print_columns(r, *playlist);
        }
        if (!r.accepted) {
            ++refused;
        }
    }
    if (refused > 0) {
        out.error(MSG_FILES_REFUSED, std::to_string(refused), std::to_string(files.size()));
    }
    return refused == 0 ? EXIT_OK : EXIT_FAILED;
}

}  // namespace zv::cli
