// A playlist entry for a file given by path, as the playlist would make it: probed as MP3 by
// its extension, else as WAV, with its tag read for an MP3.
#pragma once

#include <string>

#include "sources/id3v1.h"
#include "sources/playlist.h"

namespace zv {

// False with error set when the file cannot be read or is not a supported song.
bool make_song_entry(const std::string& path, SongEntry& entry, Id3v1Tag& tag, std::string& error);

}  // namespace zv
