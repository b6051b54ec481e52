// Shared helpers of the settings tests: a private temporary folder and byte-level access to
// encoded settings.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace zv::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zvset-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

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

inline std::vector<uint8_t> read_all(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void write_all(const std::filesystem::path& p, std::span<const uint8_t> bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zv::test
