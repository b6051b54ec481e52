// zvmp3-cli peak: the peak level of songs and the normalisation gain the export would use.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/file_list_args.h"
#include "engine/normalisation.h"
#include "export/file_ops.h"
#include "export/mp3_convert.h"
#include "export/peak_scan.h"
#include "export/sndfile_convert.h"
#include "export/song_entry.h"
#include "export/temp_folder.h"

namespace zv::cli {
namespace {

void print_peak_help() {
    std::printf(
        "Usage: zvmp3-cli peak [--tsv] FILE...\n"
        "Measures each song's peak level as the export does before normalising, and the\n"
        "gain that level gives (32767 / peak, at most 16; 1 for silence or full scale).\n"
        "MP3, FLAC, Ogg Vorbis and Opus files are decoded first, a song at another rate than\n"
        "32000, 44100 or 48000 Hz at the rate the processor runs it at (as the export\n"
        "measures it). A song whose first full block of 32768 samples\n"
        "peaks above 30000 counts as full scale (32767).\n"
        "\n"
        "  --tsv      tab-separated output: file, peak, gain, after a header line; a tab,\n"
        "             newline, carriage return or backslash in a name is written as \\t, \\n,\n"
        "             \\r, \\\\\n"
        "  -h, --help show this help\n"
        "\n"
        "Exit status: 0 all measured, 1 some file failed, 2 usage error.\n");
}

struct PeakRow {
    int32_t peak = 0;
    double gain = 1.0;
};

bool measure_file(const std::string& path, TempFolder& temp, PeakRow& row, std::string& error,
                  const CliOutput& out) {
    SongEntry entry;
    Id3v1Tag tag;
    if (!make_song_entry(path, entry, tag, error)) {
        return false;
    }
    if (entry.source_type == SOURCE_SNDFILE) {
        if (!measure_sndfile_peak(path, entry.peak_level, error)) {
            return false;
        }
        row.peak = entry.peak_level;
        row.gain = normalisation_gain_for_peak(entry.peak_level);
        return true;
    }
    std::string wav = path;
    if (entry.source_type == SOURCE_MP3) {
        const std::string folder = temp.path();
        if (folder.empty()) {
            error = out.tr(MSG_NO_PRIVATE_TEMP, temp.base());
            return false;
        }
        wav = make_temp_paths(folder, temp.run_id()).input_copy;
        ConvertFailure why;
        if (!decode_mp3_to_wav(path, wav, tag, {}, why)) {
            error = why.write_errno != 0 && is_disk_full(why.write_errno)
                        ? out.tr(MSG_TEMP_FULL, temp.base())
                        : why.text;
            return false;
        }
    }
    std::string why;
    const PeakResult r = measure_peak(entry, wav, nullptr, &why);
    if (entry.source_type == SOURCE_MP3) {
        remove_file(wav);
    }
    if (r != PeakResult::Stored) {
        // A read error fails the song: a level from part of it would be wrong.
        error = r == PeakResult::Unreadable ? out.tr(MSG_CANNOT_READ_IT)
                : why.empty()               ? out.tr(MSG_NO_DATA_CHUNK)
                                            : why;
        return false;
    }
    row.peak = entry.peak_level;
    row.gain = normalisation_gain_for_peak(entry.peak_level);
    return true;
}

}  // namespace

int run_peak(int argc, char** argv) {
    const CliOutput out("peak");
    FileListArgs parsed;
    if (const std::optional<int> status =
            parse_file_list_args(argc, argv, out, print_peak_help, parsed)) {
        return *status;
    }
    const bool tsv = parsed.tsv;
    const std::vector<std::string>& files = parsed.files;

    // Working folders of runs that were killed go first.
    remove_stale_temp_folders();
    TempFolder temp(make_run_id());
    bool any_failed = false;
    if (tsv) {
        std::printf("file\tpeak\tgain\n");
    } else {
        std::printf("%6s  %8s  %s\n", "PEAK", "GAIN", "FILE");
    }
    for (const std::string& f : files) {
        PeakRow row;
        std::string error;
        if (!measure_file(f, temp, row, error, out)) {
            out.error(MSG_SOURCE_FAILED, f, error);
            any_failed = true;
            continue;
        }
        if (tsv) {
            std::printf("%s\t%d\t%.5f\n", tsv_field(f).c_str(), row.peak, row.gain);
        } else {
            std::printf("%6d  %8.5f  %s\n", row.peak, row.gain, f.c_str());
        }
        std::fflush(stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        out.error(MSG_CANNOT_WRITE_OUTPUT);
        return EXIT_FAILED;
    }
    return any_failed ? EXIT_FAILED : EXIT_OK;
}

}  // namespace zv::cli
