// The sound device settings: which devices playback and ON AIR mode open, the ON AIR rate,
// the number of buffer blocks, the ON AIR auto-start and the low-latency ON AIR mode. Stored
// in the state file, but for the low-latency switch, which the INI file keeps (LowLatency);
// applied from the next start of playback (or of ON AIR mode for the rate).
#pragma once

#include <cstdint>

namespace zv {

constexpr int MAX_DEVICES = 8;  // entries of each device list
constexpr int BUFFER_COUNT_MIN = 2;
constexpr int BUFFER_COUNT_MAX = 8;

enum OnAirRateChoice : uint16_t {
    ONAIR_RATE_32000 = 0,
    ONAIR_RATE_44100 = 1,
    ONAIR_RATE_48000 = 2
};

struct DeviceSettings {
    uint16_t out_device_index = 0;  // index into the output list, 0..7
    uint16_t in_device_index = 0;   // index into the input list, 0..7
    uint16_t onair_rate_choice = ONAIR_RATE_44100;
    int32_t buffer_count = 4;     // 2..8 blocks of 16384 bytes
    int32_t onair_autostart = 0;  // 1: ON AIR mode starts after start-up
    // 1: ON AIR mode runs the chain in the device's callback at the device's period (tens of
    // milliseconds from input to output) instead of through buffer_count blocks.
    int32_t low_latency = 0;
};

// Sample rate of an ON AIR rate choice; anything above 1 means 48000 Hz.
constexpr int onair_rate_hz(uint16_t choice) {
    return choice == ONAIR_RATE_32000 ? 32000 : choice == ONAIR_RATE_44100 ? 44100 : 48000;
}

}  // namespace zv
