// zvmp3-cli peak: the peak level of songs and the normalisation gain the export would use.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "engine/normalisation.h"
#include "export/file_ops.h"
#include "export/mp3_convert.h"
#include "export/peak_scan.h"
#include "export/song_entry.h"
#include "export/temp_folder.h"

namespace zv::cli {
namespace {

void print_peak_help() {
    std::printf(
        "Usage: zvmp3-cli peak [--tsv] FILE...\n"
        "Measures each song's peak level as the export does before normalising, and the\n"
        "gain that level gives (32767 / peak, at most 16; 1 for silence or full scale).\n"
        "MP3 files are decoded first. A song whose first full block of 32768 samples\n"
        "peaks above 30000 counts as full scale (32767).\n"
        "\n"
        "  --tsv      tab-separated output: file, peak, gain, after a header line\n"
        "  -h, --help show this help\n"
        "\n"
        "Exit status: 0 all measured, 1 some file failed, 2 usage error.\n");
}

struct PeakRow {
    std::string file;
    int32_t peak = 0;
    double gain = 1.0;
};

bool measure_file(const std::string& path, TempFolder& temp, PeakRow& row, std::string& error) {
    SongEntry entry;
    Id3v1Tag tag;
    if (!make_song_entry(path, entry, tag, error))
        return false;
    std::string wav = path;
    if (entry.source_type == SOURCE_MP3) {
        std::string folder = temp.path();
        if (folder.empty()) {
            error = "cannot make a private temporary folder";
            return false;
        }
        wav = make_temp_paths(folder, temp.run_id()).input_copy;
        ConvertFailure why;
        if (!decode_mp3_to_wav(path, wav, tag, {}, why)) {
            error = why.text;
            return false;
        }
    }
    PeakResult r = measure_peak(entry, wav);
    if (entry.source_type == SOURCE_MP3)
        remove_file(wav);
    if (r != PeakResult::Stored) {
        error = r == PeakResult::Unreadable ? "cannot open it" : "no \"data\" chunk";
        return false;
    }
    row.file = path;
    row.peak = entry.peak_level;
    row.gain = normalisation_gain_for_peak(entry.peak_level);
    return true;
}

}  // namespace

int run_peak(int argc, char** argv) {
    bool tsv = false;
    std::vector<std::string> files;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!options_done && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
            print_peak_help();
            return EXIT_OK;
        }
        if (!options_done && std::strcmp(a, "--tsv") == 0) {
            tsv = true;
        } else if (!options_done && std::strcmp(a, "--") == 0) {
            options_done = true;
        } else if (!options_done && a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "zvmp3-cli peak: unknown option '%s'\n", a);
            std::fprintf(stderr, "Try 'zvmp3-cli peak --help'.\n");
            return EXIT_USAGE;
        } else {
            files.emplace_back(a);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "zvmp3-cli peak: no FILE given\n");
        std::fprintf(stderr, "Try 'zvmp3-cli peak --help'.\n");
        return EXIT_USAGE;
    }

    TempFolder temp(make_run_id());
    bool any_failed = false;
    if (tsv)
        std::printf("file\tpeak\tgain\n");
    else
        std::printf("%6s  %8s  %s\n", "PEAK", "GAIN", "FILE");
    for (const std::string& f : files) {
        PeakRow row;
        std::string error;
        if (!measure_file(f, temp, row, error)) {
            std::fprintf(stderr, "zvmp3-cli peak: %s: %s\n", f.c_str(), error.c_str());
            any_failed = true;
            continue;
        }
        if (tsv)
            std::printf("%s\t%d\t%.5f\n", row.file.c_str(), row.peak, row.gain);
        else
            std::printf("%6d  %8.5f  %s\n", row.peak, row.gain, row.file.c_str());
        std::fflush(stdout);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zvmp3-cli peak: cannot write the results\n");
        return EXIT_FAILED;
    }
    return any_failed ? EXIT_FAILED : EXIT_OK;
}

}  // namespace zv::cli
