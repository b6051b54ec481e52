#include "playback/device_list.h"

#include <portaudio.h>

#include "sources/text_cut.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace zv {

void copy_device_name(char (&dst)[DEVICE_NAME_BYTES], const std::string& name) {
    const size_t n = utf8_cut_length(name, DEVICE_NAME_BYTES - 1);
    std::memset(dst, 0, DEVICE_NAME_BYTES);
    std::memcpy(dst, name.data(), n);
}

int build_device_list(const std::vector<SystemDevice>& system, bool outputs, DeviceList& list,
                      uint16_t& stored_index) {
    list = DeviceList{};
    for (size_t id = 0; id < system.size() && list.count < MAX_DEVICES; ++id) {
        const SystemDevice& d = system[id];
        const int channels = outputs ? d.max_output_channels : d.max_input_channels;
        if (!d.query_ok || channels < 2) {
            continue;
        }
        DeviceInfo& info = list.devices[list.count++];
        copy_device_name(info.name, d.name);
        info.device_id = static_cast<uint32_t>(id);
        info.jack_client = d.jack_client;
    }
    if (stored_index >= list.count) {
        stored_index = 0;
    }
    return list.count;
}

void enumerate_devices(DeviceLists& lists, DeviceSettings& settings) {
    std::vector<SystemDevice> system;
    // PortAudio counts its starts: this one is cheap while the session holds it.
    const bool started = Pa_Initialize() == paNoError;
    const int count = started ? Pa_GetDeviceCount() : 0;
    for (int i = 0; i < count; ++i) {
        SystemDevice d;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info == nullptr) {
            d.query_ok = false;
        } else {
            d.name = info->name != nullptr ? info->name : "";
            d.max_output_channels = info->maxOutputChannels;
            d.max_input_channels = info->maxInputChannels;
            const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
            d.jack_client = api != nullptr && api->type == paJACK;
        }
        system.push_back(std::move(d));
    }
    if (started) {
        Pa_Terminate();
    }
    build_device_list(system, true, lists.outputs, settings.out_device_index);
    build_device_list(system, false, lists.inputs, settings.in_device_index);
}

std::vector<std::string> startup_device_warnings(const DeviceLists& lists) {
    std::vector<std::string> texts;
    if (lists.outputs.count == 0) {
        texts.emplace_back(NO_OUTPUT_DEVICE_TEXT);
    }
    if (lists.inputs.count == 0) {
        texts.emplace_back(NO_INPUT_DEVICE_TEXT);
    }
    return texts;
}

std::string device_combo_line(int index, const DeviceInfo& info) {
    char line[64];
    std::snprintf(line, sizeof line, "%d: %s", index, info.name);
    return line;
}

uint16_t device_index_from_combo_text(const std::string& text, uint16_t current) {
    int value = 0;
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        value = text[0] - '0';
    }
    return value < MAX_DEVICES ? static_cast<uint16_t>(value) : current;
}

uint16_t rate_choice_from_radios(bool radio_32k_checked, bool radio_44k_checked) {
    if (radio_32k_checked) {
        return ONAIR_RATE_32000;
    }
    return radio_44k_checked ? ONAIR_RATE_44100 : ONAIR_RATE_48000;
}

int32_t buffer_count_from_text(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    uint64_t value = 0;
    if (begin == end) {
        return BUFFER_COUNT_MIN;
    }
    for (size_t i = begin; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return BUFFER_COUNT_MIN;
        }
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > BUFFER_COUNT_MAX) {
            return BUFFER_COUNT_MAX;  // long digit strings saturate instead of wrapping
        }
    }
    if (value <= 1) {
        return BUFFER_COUNT_MIN;
    }
    return static_cast<int32_t>(value);
}

}  // namespace zv
