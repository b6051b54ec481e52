// Title, artist, album and track number of a song as Vorbis comments carry them (FLAC, Ogg
// Vorbis, Ogg Opus), and their image in the playlist's 128-byte tag slot: the ID3v1 layout the
// columns, the sort and an MP3 export read, so such a song shows and exports its tag as an
// MP3 shows its ID3v1 tag.
#pragma once

#include <string>

#include "sources/id3v1.h"

namespace zv {

struct SongTags {
    std::string title;  // UTF-8 as the file stores it, any length
    std::string artist;
    std::string album;
    int track = 0;  // 0: none
    bool any() const { return !title.empty() || !artist.empty() || !album.empty() || track > 0; }
};

// "5", "05" and "5/12" give 5; anything else, or a number above 255 (the ID3v1 track byte),
// gives 0.
int track_number_of(const std::string& text);

// The slot image: "TAG", each text cut to 30 bytes without splitting a UTF-8 sequence, the
// ID3v1.1 track byte. All zeros (no tag) when the song has none of the four.
Id3v1Tag id3v1_slot_of(const SongTags& tags);

// The texts of an ID3v1 slot as UTF-8 (in the encoding the tag's bytes are in, trailing blanks
// dropped) and its ID3v1.1 track number; empty when the slot holds no tag.
SongTags tags_of_id3v1(const Id3v1Tag& slot);

}  // namespace zv
