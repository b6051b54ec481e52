// The page walk of an Ogg file. libsndfile skips a page that fails its checksum (and a hole
// in a stream) with no more than a note in its log, and then takes the song for shorter than
// it is; so a song read whole from an Ogg file is walked first: every page must be whole, pass
// its checksum and follow the page before it in its stream.
#pragma once

#include <string>

#include "sources/byte_reader.h"

namespace zv {

// Walks the input from its start. False with why set ("a page fails its checksum at byte
// 8042") when a page is damaged, missing or cut off, or a read fails. Bytes after the end of
// every stream are allowed (a tag some programs append). The position is left anywhere.
bool check_ogg_pages(ByteReader& in, std::string& why);

}  // namespace zv
