// The settings as a host's save may read them while the chain runs: LV2 lets save() run
// concurrently with run(), and run() changes the settings (ports, parameter files). The audio
// thread publishes a copy after every change; a reader takes a consistent copy, trying again
// while a publication is under way (a sequence lock: the audio thread never waits).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugins/chain_stream.h"
#include "plugins/control_ports.h"

namespace zv::plugin {

struct SettingsCopy {
    std::vector<double> values;  // chain_fields() order (text fields: 0)
    std::array<char, PRESET_NAME_BYTES> preset_name{};
    std::array<float, CONTROL_PORT_COUNT> seen{};
};

class PublishedSettings {
public:
    PublishedSettings();

    // The audio thread (or a restore, which never runs beside it). Allocates nothing.
    void publish(const ChainStream& stream, const std::array<float, CONTROL_PORT_COUNT>& seen);
    // Any thread.
    SettingsCopy read() const;

private:
    std::size_t field_count_;
    std::size_t word_count_;
    std::atomic<uint32_t> sequence_{0};
    std::unique_ptr<std::atomic<uint64_t>[]> words_;
};

}  // namespace zv::plugin
