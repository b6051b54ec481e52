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

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
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
    "make  Adds song files (WAV, MP3, FLAC, Ogg Vorbis, Opus) as a drop on the window does\n"
    "      (folders are scanned with their sub-folders in natural name order, as ls -v lists\n"
    "      them: 2.wav before 10.wav; at most 2000 songs) and writes the playlist file. Files\n"
    "      that are refused are named on stderr, and so is the count of songs a full list\n"
    "      left out.\n"
    "\n"
    "Options:\n"
    "  --tsv      (show) a header line and one tab-separated line per song; a tab, newline,\n"
    "             carriage return or backslash inside a text is written as \\t, \\n, \\r, \\\\\n"
    "  -h, --help show this text\n"
    "\n"
    "Exit status: 0 success, 1 the file could not be read or written (make: or a named\n"
    "file was refused, or songs were left out of a full list), 2 usage error.\n";

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

int show(const std::vector<std::string>& args, bool tsv, const CliOutput& out) {
    if (args.size() != 1) {
        return out.usage(args.empty() ? MSG_SHOW_NEEDS_FILE : MSG_SHOW_TAKES_ONE);
    }
    const std::string& path = args[0];
    auto pl = std::make_unique<Playlist>();
    PlaylistFileResult r = open_playlist_file(*pl, path, true);
    if (r.status != PlaylistFileStatus::ok) {
        out.error(MSG_SOURCE_FAILED, path, playlist_file_error_text(r));
        return EXIT_FAILED;
    }
    if (r.dropped_songs > 0) {
        out.error(MSG_SONGS_LEFT_OUT, path, std::to_string(r.dropped_songs),
                  std::to_string(r.stored_songs));
    }
    PlaylistView view;
    refresh_playlist_view(*pl, view, EngineActivity{});
    print_rows(view, tsv);
    if (!tsv) {
        std::printf("%s\n", view.status_text.c_str());
    }
    return EXIT_OK;
}

int make(const std::vector<std::string>& args, const CliOutput& cli) {
    if (args.size() < 2) {
        return cli.usage(MSG_MAKE_NEEDS);
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
                cli.error(MSG_FILES_PATH_TOO_LONG, item, std::to_string(s.paths_too_long));
            }
            if (s.left_out > 0) {
                refused = true;
                cli.error(MSG_FOLDER_SONGS_LEFT_OUT, item, std::to_string(s.left_out));
            }
            continue;
        }
        AddResult r = add_song_file(*pl, item, true);
        if (!was_added(r)) {
            refused = true;
            cli.error(MSG_SOURCE_FAILED, item, cli.tr(add_refusal_message(r)));
        }
    }
    if (pl->song_count == MAX_SONGS) {
        cli.error(MSG_LIST_FULL);
    }
    PlaylistFileResult r = save_playlist_file(*pl, out);
    if (r.status != PlaylistFileStatus::ok) {
        cli.error(MSG_SOURCE_FAILED, out, playlist_file_error_text(r));
        return EXIT_FAILED;
    }
    std::printf("%s: %d songs\n", out.c_str(), pl->song_count);
    return refused ? EXIT_FAILED : EXIT_OK;
}

constexpr int OPT_TSV = 1;
constexpr OptionRow OPTIONS[] = {{OPT_TSV, "--tsv", 0, ArgKind::Flag}};

}  // namespace

const Message& add_refusal_message(AddResult r) {
    switch (r) {
        case AddResult::list_full:
            return MSG_LIST_ALREADY_FULL;
        case AddResult::not_a_song:
            return MSG_NOT_A_SONG;
        case AddResult::path_too_long:
            return MSG_PATH_TOO_LONG;
        default:
            return MSG_NOT_SUPPORTED;
    }
}

int run_playlist(int argc, char** argv) {
    const CliOutput out("playlist");
    const ParsedArgs parsed = parse_args(argc, argv, OPTIONS);
    if (parsed.error != nullptr) {
        return out.usage(*parsed.error, parsed.error_arg);
    }
    if (parsed.help) {
        std::fputs(PLAYLIST_USAGE, stdout);
        return EXIT_OK;
    }
    bool tsv = false;
    std::vector<std::string> args;
    for (const ParsedArg& a : parsed.args) {
        if (a.id == OPT_TSV) {
            tsv = true;
        } else {
            args.push_back(a.value);
        }
    }
    if (args.empty()) {
        return out.usage(MSG_MISSING_ACTION);
    }
    std::string action = args.front();
    args.erase(args.begin());
    if (action == "show") {
        return show(args, tsv, out);
    }
    if (action == "make") {
        if (tsv) {
            return out.usage(MSG_TSV_SHOW_ONLY);
        }
        return make(args, out);
    }
    return out.usage(MSG_UNKNOWN_ACTION, action);
}

}  // namespace zv::cli
