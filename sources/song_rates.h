// The rates a song may have and the rate the chain runs it at. The chain has coefficient sets
// for 32000, 44100 and 48000 Hz only; a song at any other rate from 8 to 192 kHz is resampled
// to the chain rate of its family before the chain, in playback and export alike.
#pragma once

#include <cstdint>

namespace zv {

constexpr int32_t MIN_SONG_RATE = 8000;
constexpr int32_t MAX_SONG_RATE = 192000;

constexpr bool is_chain_rate(int32_t rate) {
    return rate == 32000 || rate == 44100 || rate == 48000;
}

constexpr bool is_song_rate(int32_t rate) {
    return rate >= MIN_SONG_RATE && rate <= MAX_SONG_RATE;
}

// 32000, 44100 and 48000 stay; the 11025 family (11025, 22050, 88200, 176400) goes to 44100;
// every other rate (the 8000 family: 8000, 16000, 24000, 96000, 192000, and odd rates) to
// 48000. A rate outside 8..192 kHz (0 for an entry not probed yet) is returned as it is.
constexpr int32_t chain_rate_for(int32_t song_rate) {
    if (is_chain_rate(song_rate) || !is_song_rate(song_rate)) {
        return song_rate;
    }
    return song_rate % 11025 == 0 ? 44100 : 48000;
}

// The song's length in chain-rate frames: frames x chain rate / song rate, rounded to the
// nearest frame. The resampled song has exactly this many frames.
constexpr uint64_t chain_rate_frames(uint64_t frames, int32_t song_rate) {
    const int32_t chain = chain_rate_for(song_rate);
    if (chain == song_rate || song_rate <= 0) {
        return frames;
    }
    // Whole seconds' worth first, so that no product overflows.
    const uint64_t in = static_cast<uint32_t>(song_rate);
    const uint64_t out = static_cast<uint32_t>(chain);
    return frames / in * out + ((frames % in) * out + in / 2) / in;
}

}  // namespace zv
