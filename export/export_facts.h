// What the export tells its front ends, as facts: an enum and the names and numbers that go
// with it. The window words them through its catalogue and the command line through its own
// messages, each in its user's language; nothing here is a sentence or a dialog's control.
#pragma once

#include <string>
#include <variant>

namespace zv {

// Where a job is, for the progress dialog's status line.
enum class ExportStage {
    DecodingMp3,          // an MP3 source is decoded to the working WAV
    DecodingSource,       // a FLAC, Ogg or deeper/faster WAV source is decoded to the working WAV
    MeasuringLevel,       // the song's peak is measured for normalisation
    Processing,           // the chain runs (the status line is empty)
    EncodingMp3,          // the built-in encoder writes the MP3
    EncodingMp3External,  // the external encoder program makes the MP3
    EncodingFlac,         // the FLAC file is written
    EncodingOpus          // the Opus file is written
};

// The questions before a run. Export Song: the song's file and the chosen target.
struct ConfirmExportSong {
    std::string source;
    std::string target;
};
// Export All: into folder, or beside each song's own file.
struct ConfirmExportAll {
    bool beside_sources = false;
    std::string folder;  // empty when beside_sources
};
using ExportConfirmation = std::variant<ConfirmExportSong, ConfirmExportAll>;

// Why a command did not start at all.
enum class ExportRefusalKind {
    NoSongSelected,  // Export Song without a selected row
    PlaylistEmpty,   // Export All of an empty list
    AffixNotPlain,   // the name affix holds "/" or is ".." (affix says which)
    NoFolder         // Export All into a folder, and none was chosen
};
struct ExportRefusal {
    ExportRefusalKind kind = ExportRefusalKind::NoSongSelected;
    std::string affix;
};

// Why one song of a run was not started: its output would destroy another file of the run.
enum class TargetClashKind {
    ReplacesItself,  // output is the song's own file
    ReplacesSource,  // output is the file of another song of the list (other)
    SameOutput       // output is also the output of the song other
};
struct TargetClash {
    TargetClashKind kind = TargetClashKind::ReplacesItself;
    std::string output;
    std::string other;
};

}  // namespace zv
