#include "sources/playlist_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sources/id3v1.h"
#include "sources/tag_text.h"

namespace zv {
namespace {

constexpr size_t TAG_FIELD_OFFSETS[3] = {ID3V1_TITLE_OFFSET, ID3V1_ARTIST_OFFSET,
                                         ID3V1_ALBUM_OFFSET};
constexpr int FIRST_TAG_COLUMN = 5;
constexpr int TRACK_COLUMN = 8;

std::string format_int(const char* format, long long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string tag_column_text(const Id3v1Tag& tag, size_t offset) {
    return tag_field_display_text(tag.bytes.data() + offset, ID3V1_FIELD_BYTES);
}

int row_image(const Playlist& pl, int index, bool engine_playing) {
    if (index == pl.current_index && engine_playing) {
        return ROW_IMAGE_PLAYING;
    }
    int32_t mark = pl.song_mark[index];
    // Songs through libsndfile are decoded like MP3 songs, and fail like them.
    if (pl.entries[index].source_type == SOURCE_WAV) {
        return mark == MARK_NONE ? ROW_IMAGE_WAV : ROW_IMAGE_WAV_MARKED;
    }
    if (mark == MARK_FAILED) {
        return ROW_IMAGE_MP3_FAILED;
    }
    return mark == MARK_EXPORTED ? ROW_IMAGE_MP3_EXPORTED : ROW_IMAGE_MP3;
}

}  // namespace

int probe_pending_songs(Playlist& pl, bool engine_idle, const SongProbes& probes) {
    if (!engine_idle) {
        return 0;
    }
    int resolved = 0;
    for (int i = 0; i < pl.song_count; ++i) {
        if (pl.entries[i].source_type == SOURCE_MP3_PENDING && probe_pending_song(pl, i, probes)) {
            ++resolved;
        }
    }
    return resolved;
}

std::string time_text(const SongEntry& e) {
    if (e.channels == 0 || e.sample_rate == 0) {
        return "--:--";
    }
    int s = e.pcm_bytes / 2 / e.channels / e.sample_rate;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d", s / 60, s % 60);
    return buf;
}

PlaylistRow make_playlist_row(const Playlist& pl, int index, bool engine_playing) {
    const SongEntry& e = pl.entries[index];
    PlaylistRow row;
    auto& c = row.columns;
    c[0] = format_int("%02lld", index);
    c[1] = format_int("%02lld", e.sample_rate / 1000);
    c[2] = format_int("%lld", e.channels);
    c[3] = std::string(file_name_part(song_path(e)));
    c[4] = time_text(e);
    // A libsndfile song without comments shows like a WAV song.
    const bool tagged = e.source_type == SOURCE_MP3 ||
                        (e.source_type == SOURCE_SNDFILE && pl.tags[index].present());
    for (int k = 0; k < 3; ++k) {
        std::string& text = c[FIRST_TAG_COLUMN + k];
        if (tagged) {
            text = tag_column_text(pl.tags[index], TAG_FIELD_OFFSETS[k]);
        } else if (e.source_type == SOURCE_MP3_PENDING) {
            text = "(Loading..)";
        } else {
            text = "--";
        }
    }
    if (tagged) {
        c[TRACK_COLUMN] = format_int("%lld", pl.tags[index].track());
    } else if (e.source_type == SOURCE_MP3_PENDING) {
        c[TRACK_COLUMN] = "##";
    } else {
        c[TRACK_COLUMN] = "--";
    }
    c[9] = std::string(song_path(e));
    row.image = row_image(pl, index, engine_playing);
    return row;
}

void refresh_playlist_view(Playlist& pl, PlaylistView& view, EngineActivity engine,
                           const SongProbes& probes) {
    probe_pending_songs(pl, engine.idle, probes);
    int n = std::clamp(pl.song_count, 0, MAX_SONGS);
    view.rows.clear();
    view.rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        view.rows.push_back(make_playlist_row(pl, i, engine.playing));
    }
    view.status_text = format_int("%lld songs in list", pl.song_count);
}

int restored_top_row(int remembered_top, int song_count, int rows_per_page) {
    if (song_count <= 0) {
        return 0;
    }
    if (song_count - remembered_top >= rows_per_page - 1) {
        return std::max(remembered_top, 0);
    }
    return std::max(song_count - rows_per_page, 0);
}

}  // namespace zv
