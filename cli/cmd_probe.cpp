// zvmp3-cli probe: what the playlist would show for each file, or why it refuses it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "sources/id3v1.h"
#include "sources/mp3_source.h"
#include "sources/path_field.h"
#include "sources/tag_text.h"
#include "sources/wav_source.h"

namespace zv::cli {
namespace {

const char* const PROBE_USAGE =
    "Usage: zvmp3-cli probe [--tsv] FILE...\n"
    "Probes WAV and MP3 files as the playlist does when they are added, and prints for each\n"
    "file the playlist's column texts, or why the playlist refuses it.\n"
    "The type follows the extension (.wav or .mp3, any case), as in the playlist.\n"
    "\n"
    "Options:\n"
    "  --tsv      one tab-separated line per file after a header line:\n"
    "             file probe_result rate channels pcm_bytes time_text\n"
    "             id3_title id3_artist id3_album id3_track\n"
    "             probe_result is the WAV probe's 1/0/-1 or the MP3 probe's 1/0; values that\n"
    "             do not apply are '-'; tag texts are the stored bytes up to the first zero,\n"
    "             printable ASCII as is, a backslash and any other byte as \\xNN.\n"
    "  -h, --help show this text\n"
    "\n"
    "Exit status: 0 every file would be added, 1 at least one was refused,\n"
    "2 usage error.\n";

bool has_extension(std::string_view path, std::string_view ext) {
    if (path.size() < ext.size()) {
        return false;
    }
    std::string_view tail = path.substr(path.size() - ext.size());
    for (size_t i = 0; i < ext.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != ext[i]) {
            return false;
        }
    }
    return true;
}

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

std::string file_name_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// One file's findings, in the terms of both output forms.
struct ProbeReport {
    std::string path;
    bool is_song = false;  // .wav or .mp3
    bool is_mp3 = false;
    int probe_result = 0;
    bool accepted = false;
    std::string reason;  // why it is refused
    int32_t rate = 0;
    int32_t channels = 0;
    int64_t pcm_bytes = 0;
    Id3v1Tag tag;
};

ProbeReport probe_one(const std::string& path) {
    ProbeReport r;
    r.path = path;
    if (has_extension(path, ".wav")) {
        r.is_song = true;
        FileByteReader file;
        if (!file.open(path)) {
            r.probe_result = -1;
            r.reason = std::string("cannot open: ") + std::strerror(errno);
        } else {
            WavHeaderWalk walk = walk_wav_header(file);
            uint32_t data_bytes = 0;
            file.seek(0);
            r.probe_result = probe_wav(file, r.rate, r.channels, data_bytes);
            r.pcm_bytes = data_bytes;
            r.reason = wav_walk_status_text(walk.status);
        }
    } else if (has_extension(path, ".mp3")) {
        r.is_song = true;
        r.is_mp3 = true;
        FileByteReader file;
        if (!file.open(path)) {
            r.probe_result = 0;
            r.reason = std::string("cannot open: ") + std::strerror(errno);
        } else {
            r.reason = mp3_refusal_reason(read_mp3_stream_info(file));
            r.probe_result = probe_mp3(file, r.rate, r.channels, r.pcm_bytes);
            if (r.probe_result == 1 && !read_id3v1(path, r.tag)) {
                r.probe_result = 0;
                r.reason = "cannot read the ID3v1 tag";
            }
        }
    } else {
        r.reason = "not a song file (the playlist takes .wav and .mp3 files)";
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
    if (r.is_mp3 && r.accepted) {
        title = escape_tag_field(r.tag.title_field(), ID3V1_FIELD_BYTES);
        artist = escape_tag_field(r.tag.artist_field(), ID3V1_FIELD_BYTES);
        album = escape_tag_field(r.tag.album_field(), ID3V1_FIELD_BYTES);
        track = std::to_string(r.tag.track());
    }
    std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", r.path.c_str(), result.c_str(),
                num(r.rate).c_str(), num(r.channels).c_str(), num(r.pcm_bytes).c_str(),
                time.c_str(), title.c_str(), artist.c_str(), album.c_str(), track.c_str());
}

void print_columns(const ProbeReport& r, int row) {
    if (!r.accepted) {
        std::printf("%s: refused: %s\n", r.path.c_str(), r.reason.c_str());
        return;
    }
    char buf[32];
    std::vector<std::pair<const char*, std::string>> cols;
    std::snprintf(buf, sizeof buf, "%02d", row);
    cols.emplace_back("No", buf);
    std::snprintf(buf, sizeof buf, "%02d", r.rate / 1000);
    cols.emplace_back("fs", buf);
    cols.emplace_back("ch", std::to_string(r.channels));
    cols.emplace_back("File Name", file_name_of(r.path));
    cols.emplace_back("Time", time_text(r.pcm_bytes, r.channels, r.rate));
    if (r.is_mp3) {
        cols.emplace_back("Title", tag_field_display_text(r.tag.title_field(), ID3V1_FIELD_BYTES));
        cols.emplace_back("Artist",
                          tag_field_display_text(r.tag.artist_field(), ID3V1_FIELD_BYTES));
        cols.emplace_back("Album", tag_field_display_text(r.tag.album_field(), ID3V1_FIELD_BYTES));
        cols.emplace_back("Tr", std::to_string(r.tag.track()));
    } else {
        for (const char* name : {"Title", "Artist", "Album", "Tr"}) {
            cols.emplace_back(name, "--");
        }
    }
    cols.emplace_back("Full Path", r.path);
    std::printf("%s\n", r.path.c_str());
    for (const auto& [name, text] : cols) {
        std::printf("  %-10s %s\n", name, text.c_str());
    }
}

}  // namespace

int run_probe(int argc, char** argv) {
    bool tsv = false;
    std::vector<std::string> files;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (!options_done && (a == "-h" || a == "--help")) {
            std::fputs(PROBE_USAGE, stdout);
            return EXIT_OK;
        } else if (!options_done && a == "--tsv") {
            tsv = true;
        } else if (!options_done && a == "--") {
            options_done = true;
        } else if (!options_done && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "zvmp3-cli probe: unknown option '%s'\n", argv[i]);
            std::fputs(PROBE_USAGE, stderr);
            return EXIT_USAGE;
        } else {
            files.emplace_back(a);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "zvmp3-cli probe: no files given\n");
        std::fputs(PROBE_USAGE, stderr);
        return EXIT_USAGE;
    }
    if (tsv) {
        std::printf(
            "file\tprobe_result\trate\tchannels\tpcm_bytes\ttime_text\tid3_title\tid3_artist\t"
            "id3_album\tid3_track\n");
    }
    int refused = 0;
    int row = 0;
    for (const std::string& path : files) {
        ProbeReport r = probe_one(path);
        if (tsv) {
            print_tsv(r);
        } else {
            print_columns(r, row);
        }
        if (r.accepted) {
            ++row;
        } else {
            ++refused;
        }
    }
    return refused == 0 ? EXIT_OK : EXIT_FAILED;
}

}  // namespace zv::cli
