// Byte-level access to encoded settings for the settings tests, beside the shared helpers.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "settings/settings_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

namespace zv::test {

inline double f64_at(const SettingsBytes& b, std::size_t offset) {
    uint64_t raw = 0;
    for (int i = 0; i < 8; ++i) {
        raw |= static_cast<uint64_t>(b[offset + i]) << (8 * i);
    }
    return std::bit_cast<double>(raw);
}

inline int32_t i32_at(const SettingsBytes& b, std::size_t offset) {
    uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) {
        raw |= static_cast<uint32_t>(b[offset + i]) << (8 * i);
    }
    return static_cast<int32_t>(raw);
}

inline uint16_t u16_at(const SettingsBytes& b, std::size_t offset) {
    return static_cast<uint16_t>(b[offset] | (b[offset + 1] << 8));
}

template <typename Bytes>
void put_f64(Bytes& b, std::size_t offset, double v) {
    const uint64_t raw = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
        b[offset + i] = static_cast<uint8_t>(raw >> (8 * i));
    }
}

template <typename Bytes>
void put_i32(Bytes& b, std::size_t offset, int32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
    }
}

}  // namespace zv::test
