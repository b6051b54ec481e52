#include "plugins/published_settings.h"

#include <bit>
#include <cstring>

namespace zv::plugin {
namespace {
constexpr std::size_t NAME_WORDS = PRESET_NAME_BYTES / 8;
}

PublishedSettings::PublishedSettings()
    : field_count_(chain_fields().size()),
      word_count_(field_count_ + NAME_WORDS + CONTROL_PORT_COUNT),
      words_(new std::atomic<uint64_t>[word_count_]) {
    for (std::size_t i = 0; i < word_count_; ++i) {
        words_[i].store(0, std::memory_order_relaxed);
    }
}

void PublishedSettings::publish(const ChainStream& stream,
                                const std::array<float, CONTROL_PORT_COUNT>& seen) {
    const uint32_t s = sequence_.load(std::memory_order_relaxed);
    sequence_.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    std::size_t w = 0;
    const std::vector<ChainField>& fields = chain_fields();
    for (std::size_t i = 0; i < field_count_; ++i, ++w) {
        const double v = fields[i].form == FieldForm::Text ? 0.0 : stream.slots()[i].get();
        words_[w].store(std::bit_cast<uint64_t>(v), std::memory_order_relaxed);
    }
    const ProcessorParams& q = stream.processor().params;
    for (std::size_t k = 0; k < NAME_WORDS; ++k, ++w) {
        uint64_t word = 0;
        std::memcpy(&word, q.preset_name.data() + 8 * k, 8);
        words_[w].store(word, std::memory_order_relaxed);
    }
    for (float f : seen) {
        words_[w++].store(std::bit_cast<uint32_t>(f), std::memory_order_relaxed);
    }
    sequence_.store(s + 2, std::memory_order_release);
}

SettingsCopy PublishedSettings::read() const {
    SettingsCopy c;
    c.values.resize(field_count_);
    for (;;) {
        const uint32_t before = sequence_.load(std::memory_order_acquire);
        if ((before & 1U) != 0) {
            continue;
        }
        std::size_t w = 0;
        for (std::size_t i = 0; i < field_count_; ++i, ++w) {
            c.values[i] = std::bit_cast<double>(words_[w].load(std::memory_order_relaxed));
        }
        for (std::size_t k = 0; k < NAME_WORDS; ++k, ++w) {
            const uint64_t word = words_[w].load(std::memory_order_relaxed);
            std::memcpy(c.preset_name.data() + 8 * k, &word, 8);
        }
        for (float& f : c.seen) {
            f = std::bit_cast<float>(
                static_cast<uint32_t>(words_[w++].load(std::memory_order_relaxed)));
        }
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) == before) {
            return c;
        }
    }
}

}  // namespace zv::plugin
