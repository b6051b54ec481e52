// zvmp3-cli playlist: show a playlist file's rows as the window's list would after opening
// it, or make a playlist file from songs and folders.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "sources/playlist.h"
#include "sources/playlist_file.h"
#include "sources/playlist_view.h"

namespace zv::cli {
namespace {

const char* const PLAYLIST_USAGE =
    "Usage: zvmp3-cli playlist show [--tsv] FILE.plt\n"
    "       zvmp3-cli playlist make OUT.plt SONG_OR_FOLDER...\n"
    "\n"
    "show  Opens a playlist file as the player does: every stored song is probed again, and\n"
    "      songs that are gone or no longer supported are left out. Prints the list's ten\n"
    "      columns (No, fs, ch, File Name, Time, Title, Artist, Album, Tr, Full Path) and the\n"
    "      song count. Dropped songs are counted on stderr.\n"
    "make  Adds WAV and MP3 files as a drop on the window does (folders are scanned with\n"
    "      their sub-folders, at most 2000 songs) and writes the playlist file. Files that\n"
    "      are refused are named on stderr.\n"
    "\n"
    "Options:\n"
    "  --tsv      (show) a header line and one tab-separated line per song; a tab, newline,\n"
    "             carriage return or backslash inside a text is written as \\t, \\n, \\r, \\\\\n"
    "  -h, --help show this text\n"
    "\n"
    "Exit status: 0 success, 1 the file could not be read or written (make: or a named\n"
    "file was refused), 2 usage error.\n";

int usage_error(const char* message, const char* arg) {
    std::fprintf(stderr, "zvmp3-cli playlist: %s%s%s\n", message, arg ? " " : "", arg ? arg : "");
    std::fprintf(stderr, "Try 'zvmp3-cli playlist --help'.\n");
    return EXIT_USAGE;
}

// Columns a terminal gives a UTF-8 text: wide East Asian characters take two.
size_t display_width(std::string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else if (c >= 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xC0) {
            len = 2;
            cp = c & 0x1F;
        }
        for (size_t k = 1; k < len && i + k < text.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                    (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                    (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                    (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
        width += wide ? 2 : 1;
        i += len;
    }
    return width;
}

// Control characters would break the lines and the alignment.
std::string printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    }
    return out;
}

std::string tsv_field(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void print_rows(const PlaylistView& view, bool tsv) {
    std::vector<std::array<std::string, PLAYLIST_COLUMN_COUNT>> lines;
    std::array<std::string, PLAYLIST_COLUMN_COUNT> header;
    for (int c = 0; c < PLAYLIST_COLUMN_COUNT; ++c) {
        header[c] = PLAYLIST_COLUMNS[c].title;
    }
    lines.push_back(header);
    for (const PlaylistRow& row : view.rows) {
        std::array<std::string, PLAYLIST_COLUMN_COUNT> cells;
        for (int c = 0; c < PLAYLIST_COLUMN_COUNT; ++c) {
            cells[c] = tsv ? tsv_field(row.columns[c]) : printable(row.columns[c]);
        }
        lines.push_back(std::move(cells));
    }
    std::array<size_t, PLAYLIST_COLUMN_COUNT> widths{};
    for (const auto& cells : lines) {
        for (int c = 0; c < PLAYLIST_COLUMN_COUNT; ++c) {
            widths[c] = std::max(widths[c], display_width(cells[c]));
        }
    }
    for (const auto& cells : lines) {
        std::string line;
        for (int c = 0; c < PLAYLIST_COLUMN_COUNT; ++c) {
            line += cells[c];
            if (c + 1 == PLAYLIST_COLUMN_COUNT) {
                break;
            }
            if (tsv) {
                line += '\t';
            } else {
                line.append(widths[c] - display_width(cells[c]) + 2, ' ');
            }
        }
        std::printf("%s\n", line.c_str());
    }
}

int show(const std::vector<std::string>& args, bool tsv) {
    if (args.size() != 1) {
        return usage_error(args.empty() ? "show needs a playlist file" : "show takes one file",
                           nullptr);
    }
    const std::string& path = args[0];
    auto pl = std::make_unique<Playlist>();
    PlaylistFileResult r = open_playlist_file(*pl, path, true);
    if (r.status != PlaylistFileStatus::ok) {
        std::fprintf(stderr, "zvmp3-cli playlist: %s: %s\n", path.c_str(),
                     playlist_file_error_text(r).c_str());
        return EXIT_FAILED;
    }
    if (r.dropped_songs > 0) {
        std::fprintf(stderr,
                     "zvmp3-cli playlist: %s: %d of %d stored songs left out (missing or no "
                     "longer supported)\n",
                     path.c_str(), r.dropped_songs, r.stored_songs);
    }
    PlaylistView view;
    refresh_playlist_view(*pl, view, EngineActivity{});
    print_rows(view, tsv);
    if (!tsv) {
        std::printf("%s\n", view.status_text.c_str());
    }
    return EXIT_OK;
}

const char* refusal_text(AddResult r) {
    switch (r) {
        case AddResult::not_supported:
            return "cannot be read or is not a supported WAV/MP3 (48k/44.1k/32k, 1ch/2ch, "
                   "16bit)";
        case AddResult::list_full:
            return "the list already holds 2000 songs";
        case AddResult::not_a_song:
            return "not a .wav or .mp3 file";
        case AddResult::path_too_long:
            return "path longer than 255 bytes";
        default:
            return "";
    }
}

int make(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return usage_error("make needs an output file and at least one song or folder", nullptr);
    }
    const std::string& out = args[0];
    auto pl = std::make_unique<Playlist>();
    bool refused = false;
    for (size_t i = 1; i < args.size(); ++i) {
        // Stored paths must not depend on the folder the list is opened from.
        std::error_code ec;
        std::string item = std::filesystem::absolute(args[i], ec).lexically_normal().string();
        if (ec) {
            item = args[i];
        }
        struct stat st {};
        if (stat(item.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            ScanResult s = scan_folder(*pl, item, true);
            if (s.paths_too_long > 0) {
                std::fprintf(stderr,
                             "zvmp3-cli playlist: %s: %d files left out, path longer than "
                             "255 bytes\n",
                             item.c_str(), s.paths_too_long);
            }
            continue;
        }
        AddResult r = add_song_file(*pl, item, true);
        if (!was_added(r)) {
            refused = true;
            std::fprintf(stderr, "zvmp3-cli playlist: %s: %s\n", item.c_str(), refusal_text(r));
        }
    }
    if (pl->song_count == MAX_SONGS) {
        std::fprintf(stderr, "zvmp3-cli playlist: the list is full (2000 songs)\n");
    }
    PlaylistFileResult r = save_playlist_file(*pl, out);
    if (r.status != PlaylistFileStatus::ok) {
        std::fprintf(stderr, "zvmp3-cli playlist: %s: %s\n", out.c_str(),
                     playlist_file_error_text(r).c_str());
        return EXIT_FAILED;
    }
    std::printf("%s: %d songs\n", out.c_str(), pl->song_count);
    return refused ? EXIT_FAILED : EXIT_OK;
}

}  // namespace

int run_playlist(int argc, char** argv) {
    bool tsv = false;
    bool options_done = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (!options_done && (a == "-h" || a == "--help")) {
            std::fputs(PLAYLIST_USAGE, stdout);
            return EXIT_OK;
        }
        if (!options_done && a == "--") {
            options_done = true;
        } else if (!options_done && a == "--tsv") {
            tsv = true;
        } else if (!options_done && a.size() > 1 && a[0] == '-') {
            return usage_error("unknown option", argv[i]);
        } else {
            args.emplace_back(a);
        }
    }
    if (args.empty()) {
        return usage_error("missing action: show or make", nullptr);
    }
    std::string action = args.front();
    args.erase(args.begin());
    if (action == "show") {
        return show(args, tsv);
    }
    if (action == "make") {
        if (tsv) {
            return usage_error("--tsv applies to show only", nullptr);
        }
        return make(args);
    }
    return usage_error("unknown action", action.c_str());
}

}  // namespace zv::cli
