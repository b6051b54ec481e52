// The output and input device lists made once per run, and the rules of the sound-device
// dialog's OK button.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "playback/device_settings.h"

namespace zv {

constexpr int DEVICE_NAME_BYTES = 32;  // 31 bytes of name and the terminator

struct DeviceInfo {
    char name[DEVICE_NAME_BYTES] = {};
    uint32_t device_id = 0;
    // The device is a client of a JACK server (PortAudio's name for it is the client's): it is
    // played through the program's own JACK client rather than through PortAudio.
    bool jack_client = false;
};

struct DeviceList {
    std::array<DeviceInfo, MAX_DEVICES> devices{};
    uint16_t count = 0;
};

struct DeviceLists {
    DeviceList outputs;
    DeviceList inputs;
};

inline constexpr const char* NO_OUTPUT_DEVICE_TEXT =
    "使用可能な出力サウンドデバイスが見つかりません。\nプレーヤー機能、ON-"
    "AIRモードは使用できません。";
inline constexpr const char* NO_INPUT_DEVICE_TEXT =
    "使用可能な入力サウンドデバイスが見つかりません。\nON-AIRモードは使用できません。";
inline constexpr const char* APP_CAPTION = "ZelvonicMP3";

// What the system reports about one device, as enumeration sees it.
struct SystemDevice {
    std::string name;
    int max_output_channels = 0;
    int max_input_channels = 0;
    bool query_ok = true;
    bool jack_client = false;
};

// Copies name into dst (DEVICE_NAME_BYTES), cut to 31 bytes without splitting a UTF-8
// sequence.
void copy_device_name(char (&dst)[DEVICE_NAME_BYTES], const std::string& name);

// Builds a list from the system's devices in identifier order: every device whose query
// succeeds and that has a stereo output (input) is appended, at most MAX_DEVICES of them; then a
// stored index that is not below the count becomes 0. Returns the count.
int build_device_list(const std::vector<SystemDevice>& system, bool outputs, DeviceList& list,
                      uint16_t& stored_index);

// Both lists from PortAudio (started for the purpose); fixes the stored indices.
void enumerate_devices(DeviceLists& lists, DeviceSettings& settings);

// The warnings start-up shows (caption APP_CAPTION) for an empty list, in order.
std::vector<std::string> startup_device_warnings(const DeviceLists& lists);

// One combo line: "%d: %s" with the list index and name.
std::string device_combo_line(int index, const DeviceInfo& info);

// Dialog OK rules. The combo's text is cut to its first character, read as a decimal number
// (a non-digit reads as 0); a value below 8 is the new index, anything else keeps `current`.
uint16_t device_index_from_combo_text(const std::string& text, uint16_t current);
// 0 for the 32kHz radio, 1 for 44.1kHz, 2 when neither is checked.
uint16_t rate_choice_from_radios(bool radio_32k_checked, bool radio_44k_checked);
// The edit's unsigned value clamped to 2..8; text that is not an unsigned number gives 2.
int32_t buffer_count_from_text(const std::string& text);

}  // namespace zv
