// zvmp3-cli loudness: the integrated loudness, loudness range and true peak of songs, as the
// export reports them for what it writes.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_messages.h"
#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/file_list_args.h"
#include "export/loudness.h"

namespace zv::cli {
namespace {

void print_loudness_help() {
    std::printf(
        "Usage: zvmp3-cli loudness [--tsv] FILE...\n"
        "Measures each song file after EBU R128: integrated loudness (LUFS), loudness\n"
        "range (LU) and true peak (dBTP). MP3, FLAC, Ogg Vorbis and Opus files (by their\n"
        "extension) are decoded first, each at its own rate. Silence, or a song shorter\n"
        "than 0.4 s, has an integrated loudness of -inf.\n"
        "\n"
        "  --tsv      tab-separated output with two decimals: file, integrated_lufs,\n"
        "             range_lu, true_peak_dbtp, after a header line; a tab, newline,\n"
        "             carriage return or backslash in a name is written as \\t, \\n, \\r, \\\\\n"
        "  -h, --help show this help\n"
        "\n"
        "Exit status: 0 all measured, 1 some file failed, 2 usage error.\n");
}

}  // namespace

int run_loudness(int argc, char** argv) {
    const CliOutput out("loudness");
    FileListArgs parsed;
    if (const std::optional<int> status =
            parse_file_list_args(argc, argv, out, print_loudness_help, parsed)) {
        return *status;
    }
    const bool tsv = parsed.tsv;
    const std::vector<std::string>& files = parsed.files;

    bool any_failed = false;
    if (tsv) {
        std::printf("file\tintegrated_lufs\trange_lu\ttrue_peak_dbtp\n");
    } else {
        std::printf("%7s  %6s  %6s  %s\n", "LUFS", "LU", "dBTP", "FILE");
    }
    for (const std::string& f : files) {
        LoudnessFigures figures;
        std::string error;
        if (!measure_file_loudness(f, figures, error)) {
            out.error(MSG_SOURCE_FAILED, f, error);
            any_failed = true;
            continue;
        }
        if (tsv) {
            std::printf("%s\t%s\t%s\t%s\n", tsv_field(f).c_str(),
                        loudness_figure_text(figures.integrated_lufs, 2).c_str(),
                        loudness_figure_text(figures.range_lu, 2).c_str(),
                        loudness_figure_text(figures.true_peak_dbtp, 2).c_str());
        } else {
            std::printf("%7s  %6s  %6s  %s\n",
                        loudness_figure_text(figures.integrated_lufs).c_str(),
                        loudness_figure_text(figures.range_lu).c_str(),
                        loudness_figure_text(figures.true_peak_dbtp).c_str(), f.c_str());
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
